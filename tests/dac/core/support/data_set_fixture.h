// The fixture of the dataset tests: a test connection over the fake
// server, datasets made on it, and a table t with the key ID and NAME.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/dac/core/support/fake_record_set.h"
#include "tests/dac/core/support/test_connection.h"
#include "tests/dac/core/support/test_da_dataset.h"

namespace dac::test {

inline constexpr const char* kSelect = "SELECT * FROM t";

// ID (key) and NAME of the table t; the rows hold the given IDs.
inline FakeAnswer Table(const std::vector<int>& ids) {
  FakeAnswer answer;
  answer.columns = {{"ID", dtInteger, 0, "t", true}, {"NAME", dtString, 10, "t", false}};
  for (int id : ids) answer.rows.push_back({Variant(id), Variant("row " + std::to_string(id))});
  return answer;
}

inline std::vector<int> Count(int rows) {
  std::vector<int> ids;
  for (int i = 1; i <= rows; ++i) ids.push_back(i);
  return ids;
}

// "text [name=value, ...]" of what reached the server.
inline std::string Shown(const FakeStatement& statement) {
  std::string text = statement.sql + " [";
  for (size_t i = 0; i < statement.params.size(); ++i) {
    const Variant& value = statement.params[i].second;
    text += (i ? ", " : "") + statement.params[i].first + "=" + (value.IsNull() ? "null" : value.AsString());
  }
  return text + "]";
}

class DataSetTest : public ::testing::Test {
 protected:
  ~DataSetTest() override {
    for (TComponent* component : owned_) component->Free();
  }
  template <typename T>
  T* Make() {
    owned_.insert(owned_.begin(), MakeComponent<T>(nullptr));
    return static_cast<T*>(owned_.front());
  }
  void Forget(TComponent* component) { std::erase(owned_, component); }
  TestDADataSet* Query(const std::string& sql = kSelect) {
    auto* data_set = static_cast<TestDADataSet*>(connection->CreateDataSet());
    owned_.insert(owned_.begin(), data_set);
    data_set->SQL().SetText(sql);
    return data_set;
  }
  static FakeRecordSet& Records(TCustomDADataSet* data_set) {
    return dynamic_cast<FakeRecordSet&>(*data_set->GetIRecordSet());
  }
  static int ID(TDataSet* data_set) { return data_set->FieldByName("ID")->GetAsInteger(); }
  // What reached the server, each statement Shown.
  std::vector<std::string> Sent() const {
    std::vector<std::string> sent;
    for (const FakeStatement& statement : connection->server->Executed()) sent.push_back(Shown(statement));
    return sent;
  }

  std::vector<TComponent*> owned_;
  TestConnection* connection = Make<TestConnection>();
};

}  // namespace dac::test
