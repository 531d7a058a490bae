// A stand-in for the dataset an SQL command component serves: it owns its
// command component as a dataset does, answers what the component asks of
// it, and records the calls.
#pragma once

#include <string>
#include <vector>

#include "dac/core/sql_component.h"
#include "dac/core/sql_owner.h"
#include "dac/framework/classes/component.h"

namespace dac::test {

class TestSQLOwner : public TComponent, public IDASQLOwner {
  DAC_DECLARE_CLASS();

 public:
  explicit TestSQLOwner(TComponent* owner) : TComponent(owner) {}
  // Makes its command component.
  void Init() override;

  bool OwnerActive() const override { return active; }
  std::string OwnerSQLText() const override { return command->SQL().Text(); }
  std::string OwnerSavedSQL() const override { return saved_sql; }
  void SetOwnerSavedSQL(const std::string& value) override { saved_sql = value; }
  char OwnerLeftQuote() const override { return '"'; }
  char OwnerRightQuote() const override { return '"'; }
  TCustomDASQL* OwnerCommand() const override { return command; }
  // The command's own steps, recorded: "final", "scan", "assemble".
  std::string OwnerFinalSQL() override;
  void OwnerScanMacros() override;
  void OwnerAssembleSQL() override;
  void OwnerDisconnect() override { calls.push_back("disconnect"); }
  // Forgets the saved text, as a dataset does.
  void OwnerSQLChanged() override;
  // Recorded as "perform " + the statement types' bits + " " + sql.
  bool OwnerPerformSQL(const std::string& sql, TStatementTypes statement_types) override;
  TCustomDAUpdateSQL* OwnerUpdateObject() const override { return update_object; }
  void ClearOwnerUpdateObject() override { update_object = nullptr; }

  TCustomDASQL* command = nullptr;
  bool active = false;
  std::string saved_sql;
  TCustomDAUpdateSQL* update_object = nullptr;
  std::vector<std::string> calls;
};

}  // namespace dac::test
