// TLocalDetailFilter: the filter of a detail dataset that follows its
// master in memory (LocalMasterDetail). Each master/detail field pair keeps
// a copy of the master's value in the detail column's form, owned here, so
// that the filter never reads a master buffer that moved on or went.
//
//   filter.Take(*master, *detail, "ID", "MASTER_ID");
//   bool shown = filter.Accepts(*detail_store, rec_buf);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dac {

class TCustomDADataSet;
class TMemData;

class TLocalDetailFilter {
 public:
  TLocalDetailFilter() = default;
  ~TLocalDetailFilter() { Clear(); }
  TLocalDetailFilter(const TLocalDetailFilter&) = delete;
  TLocalDetailFilter& operator=(const TLocalDetailFilter&) = delete;

  // The master's current values of the ";"-separated field pairs, in place
  // of the ones held. A pair with a field either side lacks is left out;
  // "Field '<name>' not found" for a field without a descriptor.
  void Take(TCustomDADataSet& master, TCustomDADataSet& detail, const std::string& master_fields,
            const std::string& detail_fields);
  // A record of the detail's store matches every pair; a null on either
  // side never matches.
  bool Accepts(TMemData& store, void* rec_buf) const;
  // Lets the values go.
  void Clear();

 private:
  struct Link {
    bool master_is_null = false;
    void* value = nullptr;
    int32_t value_type = 0;
    int32_t field_no = 0;
  };
  // One pair's link; false when a field of the pair is missing.
  bool MakeLink(TCustomDADataSet& master, TCustomDADataSet& detail, const std::string& master_name,
                const std::string& detail_name, Link& link);

  std::vector<Link> links_;
};

}  // namespace dac
