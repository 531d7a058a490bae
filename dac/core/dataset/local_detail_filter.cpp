#include "dac/core/dataset/local_detail_filter.h"

#include "dac/core/dataset/dataset_component.h"
#include "dac/core/server/messages.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/fields.h"
#include "dac/store/record/mem_data.h"
#include "dac/store/runtime/marshal.h"

namespace dac {

void TLocalDetailFilter::Take(TCustomDADataSet& master, TCustomDADataSet& detail, const std::string& master_fields,
                              const std::string& detail_fields) {
  Clear();
  for (size_t m = 1, d = 1; m <= master_fields.size() && d <= detail_fields.size();) {
    const std::string master_name = ExtractFieldName(master_fields, m);
    const std::string detail_name = ExtractFieldName(detail_fields, d);
    Link link;
    if (MakeLink(master, detail, master_name, detail_name, link)) links_.push_back(link);
  }
}

bool TLocalDetailFilter::MakeLink(TCustomDADataSet& master, TCustomDADataSet& detail, const std::string& master_name,
                                  const std::string& detail_name, Link& link) {
  TField* master_field = master.FindField(master_name);
  if (!master_field || !detail.FindField(detail_name)) return false;
  TFieldDesc* detail_desc = detail.Data()->FindField(detail_name);
  if (!detail_desc) throw Exception(FormatMessage(SFieldNotFound, {detail_name}));
  if (!master.TMemDataSet::GetFieldDesc(master_field)) throw Exception(FormatMessage(SFieldNotFound, {master_name}));
  link.field_no = detail_desc->GetFieldNo();
  const Variant value = master_field->Value();
  link.master_is_null = value.IsEmptyOrNull();
  int value_type = 0;
  detail.CopyFieldValue(value, link.value, value_type, detail_desc, true);
  link.value_type = value_type;
  return true;
}

bool TLocalDetailFilter::Accepts(TMemData& store, void* rec_buf) const {
  for (const Link& link : links_) {
    if (link.master_is_null || !link.value) return false;
    const auto field_no = static_cast<uint16_t>(link.field_no);
    if (store.GetNull(field_no, rec_buf)) return false;
    TFieldDesc* desc = store.GetFieldDescs().GetItems(link.field_no - 1);
    if (store.CompareFieldValue(link.value, link.value_type, desc, rec_buf, {}) != 0) return false;
  }
  return true;
}

void TLocalDetailFilter::Clear() {
  for (Link& link : links_) Marshal::FreeHGlobal(link.value);
  links_.clear();
}

}  // namespace dac
