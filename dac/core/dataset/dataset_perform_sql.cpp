// The dataset's update statements: its steps that choose, bind and run
// them, each done by its update statement runner (TUpdateStatementRunner),
// and how a parameter of a statement finds its field and takes its value.
#include <cctype>

#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_internals.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/field.h"
#include "platform/ascii.h"

namespace dac {

namespace {

bool IsDecimal(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool IsObjectField(const TField* field) { return field->DataType() == ftADT || field->DataType() == ftArray; }

}  // namespace

// ---- the statement ----

// The update query of the type made ready (CheckUpdateQuery), the
// statement chosen (CheckUpdateSQL), the query run (UpdateExecute): the
// update statement runner's work.
void TCustomDADataSet::CheckUpdateQuery(TStatementType statement_type) { d_->update_runner.PrepareQuery(statement_type); }

void TCustomDADataSet::CheckUpdateSQL(const std::string& sql, TStatementTypes statement_types,
                                      TDAParamsInfo*& params_info) {
  d_->update_runner.ChooseStatement(sql, statement_types, params_info);
}

void TCustomDADataSet::UpdateExecute(TStatementTypes statement_types) { d_->update_runner.Execute(statement_types); }

bool TCustomDADataSet::PerformSQL(const std::string& sql, TStatementTypes statement_types) {
  return d_->update_runner.Perform(sql, statement_types);
}

// ---- parameters ----

TField* TCustomDADataSet::FieldByParamName(std::string& param_name, bool& old, int& index) {
  old = param_name.size() >= 4 && plat::SameText(param_name.substr(0, 4), "OLD_");
  TField* field = nullptr;
  if (old) {
    field = FindField(param_name);
    if (field) {
      old = false;
    } else {
      param_name.erase(0, 4);
    }
  }
  if (!field) {
    index = IsDecimal(param_name) ? std::stoi(param_name) : -1;
    if (index >= 0) {
      for (int i = 0; i < Fields().Count() && !field; ++i) {
        if (Fields().Fields(i)->FieldNo() == index) field = Fields().Fields(i);
      }
    }
  }
  return field ? field : FindField(param_name);
}

void TCustomDADataSet::AssignFieldValue(TDAParam* param, TField* field, bool old) {
  if (IsObjectField(field)) {
    param->SetDataType(field->DataType());
    param->SetParamObject(GetFieldObject(field));
    return;
  }
  param->AssignFieldValue(field, old ? field->OldValue() : field->Value());
}

void TCustomDADataSet::AssignFieldValue(TDAParam* param, TFieldDesc* field_desc, bool) {
  const uint16_t type = field_desc->GetDataType();
  if (type != dtObject && type != dtArray) {
    AssertionFailed("This overload should be used only for object fields", __FILE__, __LINE__);
  }
  param->SetDataType(GetFieldType(type));
  param->SetParamObject(GetFieldObject(field_desc));
}

}  // namespace dac
