// A MySQL connection component open on the test server and queries on it.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "dac/framework/classes/component.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/provider/my_connection.h"
#include "tests/dac/mysql/my_provider_test_support.h"

namespace dac::testing {

// A connection and a query on the test server (skipped without one).
class MyDataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto s = TestServer();
    if (!s) GTEST_SKIP() << "no test server";
    // Each test has a database of its own: the tests run side by side.
    settings = *s;
    settings.database = OwnDatabase();
    {
      auto setup = OpenConnection(DirectApi(), *s);
      setup->ExecStatement("DROP DATABASE IF EXISTS " + settings.database);
      setup->ExecStatement("CREATE DATABASE " + settings.database);
    }
    connection = MakeComponent<TMyConnection>(nullptr);
    connection->SetLoginPrompt(false);
    connection->SetServer(s->host);
    connection->SetPort(s->port);
    connection->SetUsername(s->user);
    connection->SetPassword(s->password);
    connection->SetDatabase(settings.database);
    connection->Connect();
    query = MakeQuery();
  }
  void TearDown() override {
    for (TMyQuery* made : made_) made->Free();
    if (connection) {
      if (connection->GetConnected()) Exec("DROP DATABASE IF EXISTS " + settings.database);
      connection->Free();
    }
  }
  // "dst_" and the test's name in lower case, at most 64 characters.
  static std::string OwnDatabase() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("dst_") + info->test_suite_name() + "_" + info->name();
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_';
    return name.substr(0, 64);
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

  ServerSettings settings;
  TMyConnection* connection = nullptr;
  TMyQuery* query = nullptr;

 private:
  std::vector<TMyQuery*> made_;
};

}  // namespace dac::testing
