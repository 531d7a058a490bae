// Calling a stored procedure or function by name: its definition read from
// the server, its parameter list and return type parsed into parameter
// descriptors, and the SQL text that calls it. Input parameters become
// placeholders; INOUT and OUT ones travel through user variables that a
// trailing "; SELECT " reads back:
//   SET @b = :b; CALL p(:a, @b, @c); SELECT @b AS '@b', CAST(@c AS DATE) AS '@c'
// TMySQLConnection::CreateProcCall puts the steps together.
#pragma once

#include <string>
#include <vector>

#include "dac/store/record/record_set_types.h"

namespace dac {

class TParamDescs;

// A routine's parameter-list text and return-type text as the server
// defines them.
struct TMyParamBlockResult {
  std::string param_list;
  std::string return_type;
  bool is_function = false;
};

// What the call keeps of each parameter's declared type: the type name
// upper-cased, whether it was declared UNSIGNED, and the text between its
// parentheses when it is digits and commas ("10,2" of DECIMAL(10,2)).
struct TMyParamTypeNote {
  std::string type;
  bool is_unsigned = false;
  std::string widths;
};
using TMyParamTypeNotes = std::vector<TMyParamTypeNote>;

// The parameter list (between the first "(" before RETURNS and its match)
// and the return type (the type after RETURNS, with its "(...)") of a
// CREATE PROCEDURE or CREATE FUNCTION text.
TMyParamBlockResult SplitRoutineDefinition(const std::string& create_text);

// Appends one descriptor (and type note) per parameter of the list, or the
// single "Result" of a return type; a list of blanks and comments has none.
// DECIMAL follows numeric_type; an unsigned BIGINT is dtFmtBCD. Exception
// "Unknown column type "TYPE" in "text"" for a type it does not know, and
// an assertion failure "LEXEME in text, Name = routine_name" where a name
// or type is no word; each quotes a short excerpt of the text.
void ParseRoutineParams(const std::string& text, bool is_return_type, bool use_unicode,
                        const std::string& routine_name, TParamDescs& params, TMyParamTypeNotes& notes,
                        TDANumericType numeric_type = ntFloat);

// The call text for the parameters (a function's result first). notes may
// be empty: then every OUT value is read back as it is.
std::string BuildProcCallText(const std::string& name, bool is_function, const TParamDescs& params,
                              const TMyParamTypeNotes& notes, bool quote_names);

}  // namespace dac
