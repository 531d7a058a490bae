// A MySQL connection component open on the test server and queries on it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dac/framework/component.h"
#include "dac/mysql/my_connection.h"
#include "dac/mysql/my_connection_component.h"
#include "dac/mysql/my_dataset.h"
#include "tests/dac/mysql/my_provider_test_support.h"

namespace dac::testing {

// A connection and a query on the test server (skipped without one).
class MyDataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto s = TestServer();
    if (!s) GTEST_SKIP() << "no test server";
    connection = MakeComponent<TMyConnection>(nullptr);
    connection->SetLoginPrompt(false);
    connection->SetServer(s->host);
    connection->SetPort(s->port);
    connection->SetUsername(s->user);
    connection->SetPassword(s->password);
    connection->SetDatabase(s->database);
    connection->Connect();
    query = MakeQuery();
  }
  void TearDown() override {
    for (TMyQuery* made : made_) made->Free();
    if (connection) connection->Free();
  }
  TMyQuery* MakeQuery() {
    auto* made = MakeComponent<TMyQuery>(nullptr);
    made->SetConnection(connection);
    made_.push_back(made);
    return made;
  }
  TMySQLConnection& Server() const { return *connection->IConnection(); }
  void Exec(const std::string& sql) { Server().ExecStatement(sql); }
  // The one value of a query run on the connection; "<none>" for NULL or no row.
  std::string Value(const std::string& sql) {
    const Rows rows = ApiQuery(Server().GetAPI(), Server().GetHandle(), sql);
    return rows.size() == 1 && !rows[0].empty() && rows[0][0] ? *rows[0][0] : "<none>";
  }
  void Open(TMyQuery* on, const std::string& sql) {
    on->SQL().SetText(sql);
    on->Open();
  }

  TMyConnection* connection = nullptr;
  TMyQuery* query = nullptr;

 private:
  std::vector<TMyQuery*> made_;
};

}  // namespace dac::testing
