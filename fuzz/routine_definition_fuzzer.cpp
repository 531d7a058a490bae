// A stored routine's CREATE text as the server shows it (after a byte of
// settings: the routine's name, procedure or function, quoted names,
// UseUnicode, the numeric type): split into its parameter list and return
// type, both parsed into parameter descriptors, and the call text built
// over them. Only the documented errors are raised: "Unknown column type"
// for a type the parser does not know and, for a name or type that is no
// word, the assertion naming the routine. The parameter list is the text
// between a bracket pair of the definition; it holds one parameter per
// comma outside brackets and one more; the call text has one placeholder
// per input and INOUT parameter, named as the parameter is.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dac/core/server/param_desc.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/provider/my_identifiers.h"
#include "dac/mysql/provider/my_parser.h"
#include "dac/mysql/provider/my_proc_call.h"
#include "fuzz/fuzz_support.h"

namespace fuzz {
namespace {

struct Setup {
  std::string name;
  bool is_function = false;
  bool quote_names = false;
  bool use_unicode = false;
  dac::TDANumericType numeric_type = dac::ntFloat;
};

constexpr const char* kNames[] = {"p", "db.p", "`my proc`", "f"};
constexpr dac::TDANumericType kNumericTypes[] = {dac::ntFloat, dac::ntBCD, dac::ntFmtBCD, dac::ntFloat};

std::unique_ptr<dac::TParser> Lexer(const std::string& text) {
  auto parser = dac::MakeParser<dac::TMyParser>(text);
  parser->SetOmitComment(true);
  parser->SetQuotedString(true);
  return parser;
}

// Commas outside brackets, or -1 when brackets nest in the list.
int TopLevelCommas(const std::string& list) {
  auto parser = Lexer(list);
  int commas = 0;
  int depth = 0;
  std::string lexem;
  for (int code = parser->GetNext(lexem); code != dac::LexemEnd; code = parser->GetNext(lexem)) {
    if (lexem == "(" && ++depth > 1) return -1;
    if (lexem == ")" && depth > 0) --depth;
    if (code == dac::myComma && depth == 0) ++commas;
  }
  return commas;
}

bool IsBlank(const std::string& list) {
  std::string lexem;
  return Lexer(list)->GetNext(lexem) == dac::LexemEnd;
}

// The names after the placeholders' colons, as parameter names.
std::vector<std::string> Placeholders(const std::string& call) {
  auto parser = Lexer(call);
  std::vector<std::string> names;
  std::string lexem;
  for (int code = parser->GetNext(lexem); code != dac::LexemEnd; code = parser->GetNext(lexem)) {
    if (code != dac::myColon) continue;
    code = parser->GetNext(lexem);
    if (code == dac::LexemIdent || code == dac::LexemNumber || code > 0) names.push_back(dac::UnquoteIdentifier(lexem));
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool Documented(const dac::Exception& e, const Setup& setup) {
  RequireShortMessage(e.Message());
  if (e.Message().starts_with("Unknown column type \"")) return true;
  const auto* assertion = dynamic_cast<const dac::EAssertionFailed*>(&e);
  return assertion && assertion->Text().find(" in ") != std::string::npos &&
         assertion->Text().ends_with(", Name = " + setup.name);
}

void Run(const std::string& create_text, const Setup& setup) {
  const dac::TMyParamBlockResult split = dac::SplitRoutineDefinition(create_text);
  Require(split.param_list.empty() || create_text.find("(" + split.param_list + ")") != std::string::npos,
          "a parameter list that is not between brackets of the text");
  dac::TParamDescs params;
  dac::TMyParamTypeNotes notes;
  try {
    if (setup.is_function && !split.return_type.empty()) {
      dac::ParseRoutineParams(split.return_type, true, setup.use_unicode, setup.name, params, notes,
                              setup.numeric_type);
      Require(params.Count() == 1 && params.Items(0)->GetParamType() == dac::pdResult &&
                  params.Items(0)->GetName() == "Result",
              "a return type that is not one result");
    }
    const int before = params.Count();
    if (!split.param_list.empty())
      dac::ParseRoutineParams(split.param_list, false, setup.use_unicode, setup.name, params, notes,
                              setup.numeric_type);
    const int commas = TopLevelCommas(split.param_list);
    if (split.param_list.empty() || IsBlank(split.param_list)) {
      Require(params.Count() == before, "parameters from an empty list");
    } else if (commas >= 0) {
      Require(params.Count() - before == commas + 1, "parameters other than the list's commas tell");
    }
  } catch (const dac::Exception& e) {
    if (!Documented(e, setup)) ReportUnexpected(e.Message());
    return;
  }
  Require(params.Count() == static_cast<int>(notes.size()), "a parameter without its type note");
  // Widths go into the call's CASTs: only the server's form of them.
  for (const dac::TMyParamTypeNote& note : notes)
    Require(note.widths.find_first_not_of("0123456789,") == std::string::npos, "widths that are not numbers");
  std::vector<std::string> inputs;
  for (int i = 0; i < params.Count(); ++i) {
    const dac::TParamDesc& param = *params.Items(i);
    if (param.GetName().empty()) return;  // no server defines a parameter without a name
    if (param.GetParamType() == dac::pdInput || param.GetParamType() == dac::pdInputOutput)
      inputs.push_back(param.GetName());
  }
  std::sort(inputs.begin(), inputs.end());
  const bool is_function = setup.is_function && params.Count() > 0 && params.Items(0)->GetParamType() == dac::pdResult;
  const std::string call = dac::BuildProcCallText(setup.name, is_function, params, notes, setup.quote_names);
  const std::string head = is_function ? "SELECT " : "CALL ";
  Require(call.starts_with(head) || call.starts_with("SET "), "a call that neither calls nor sets");
  Require(Placeholders(call) == inputs, "placeholders other than the input parameters");
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::Setup setup;
  setup.name = fuzz::kNames[data[0] & 3];
  setup.is_function = data[0] & 4;
  setup.quote_names = data[0] & 8;
  setup.use_unicode = data[0] & 16;
  setup.numeric_type = fuzz::kNumericTypes[data[0] >> 5 & 3];
  try {
    fuzz::Run(std::string(fuzz::AsText(data + 1, std::min(size - 1, fuzz::kLongestLexedText))), setup);
  } catch (const dac::Exception& e) {
    fuzz::ReportUnexpected(e.Message());
  }
  return 0;
}
