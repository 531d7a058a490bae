// TMySQLRecordset: a procedure call's OUT values, read from its one row
// into the command's parameters.
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/store/blob/blob.h"

namespace dac {

// The OUT values of a procedure call, read from its one row into the parameters.
void TMySQLRecordset::ReadOutParams() {
  TMySQLCommand& command = Command();
  void* rec = Rec(GetFirstItem());
  for (int i = 0; i < command.GetParamCount(); ++i) {
    TParamDesc* param = command.GetParam(i);
    TFieldDesc* field = nullptr;
    if (param->GetParamType() == pdResult) {
      field = GetFieldDescs().GetItems(0);
    } else if (param->GetParamType() == pdOutput || param->GetParamType() == pdInputOutput) {
      field = FindField("@" + param->GetName());
    }
    if (!field) continue;
    if (IsBlobFieldType(field->GetDataType())) {
      // The record's blob goes with the record: a blob parameter gets a copy
      // of its content, any other the text of it (user variables come back
      // as blobs whatever they hold).
      auto* blob = static_cast<TBlob*>(GetObject(field->GetFieldNo(), rec));
      TBlob* target = IsBlobFieldType(param->GetDataType()) ? dynamic_cast<TBlob*>(param->GetObject()) : nullptr;
      if (target) {
        target->Assign(*blob);
      } else {
        param->SetValue(GetNull(field->GetFieldNo(), rec) ? Variant::Null() : Variant(blob->GetAsString()));
      }
      continue;
    }
    Variant value;
    GetFieldAsVariant(field->GetFieldNo(), rec, value);
    param->SetValue(value);
  }
  // The rows affected are the call's, not those of the SELECT after it.
  command.SetPrevCount(true);
  if (command.GetReadParams()) command.GetReadParams()();
}

}  // namespace dac
