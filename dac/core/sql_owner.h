// What an SQL command component, its macros and an update SQL object ask of
// the dataset they serve. A dataset keeps one SQL command component for its
// text, parameters and macros; several of that component's steps are the
// dataset's to take. The dataset implements this interface beside its
// component base; the others find it by a cross cast.
#pragma once

#include <string>

#include "dac/core/server/server_types.h"

namespace dac {

class TCustomDASQL;
class TCustomDAUpdateSQL;
class TObject;

class IDASQLOwner {
 public:
  // Whether the dataset is open, and its SQL text.
  virtual bool OwnerActive() const = 0;
  virtual std::string OwnerSQLText() const = 0;
  // The SQL text the dataset's text editing started from ("" for none).
  virtual std::string OwnerSavedSQL() const = 0;
  virtual void SetOwnerSavedSQL(const std::string& value) = 0;
  // The characters that quote identifiers in the dataset's SQL.
  virtual char OwnerLeftQuote() const = 0;
  virtual char OwnerRightQuote() const = 0;
  // The dataset's internal SQL command component.
  virtual TCustomDASQL* OwnerCommand() const = 0;

  // The dataset's own forms of the SQL component's steps: the text it
  // sends (with its filter and detail conditions), the macro scan (its
  // update SQL too), the reassembly and the disconnect.
  virtual std::string OwnerFinalSQL() = 0;
  virtual void OwnerScanMacros() = 0;
  virtual void OwnerAssembleSQL() = 0;
  virtual void OwnerDisconnect() = 0;
  // The SQL text changed: the dataset closes and unprepares, forgets its
  // field definitions, updating table and saved text (unless
  // BaseSQLOldBehavior), and resets its record set's command.
  virtual void OwnerSQLChanged() = 0;

  // Runs one update statement; false when there was nothing to run.
  virtual bool OwnerPerformSQL(const std::string& sql, TStatementTypes statement_types) = 0;
  // The update object the dataset uses, and the dataset letting go of it.
  virtual TCustomDAUpdateSQL* OwnerUpdateObject() const = 0;
  virtual void ClearOwnerUpdateObject() = 0;

 protected:
  ~IDASQLOwner() = default;
};

// The interface of an object, or null when it has none.
IDASQLOwner* SQLOwnerOf(const TObject* object);

}  // namespace dac
