// A connection component over the MySQL server connection for the dataset
// tests, open on the test server, and a fixture with a query on it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dac/core/connection_component.h"
#include "dac/framework/component.h"
#include "dac/mysql/client/mysql_api_direct.h"
#include "dac/mysql/my_command.h"
#include "dac/mysql/my_connection.h"
#include "dac/mysql/my_dataset.h"
#include "dac/mysql/my_record_set.h"
#include "tests/dac/mysql/my_provider_test_support.h"

namespace dac::testing {

class MyTestConnection : public TCustomDAConnection {
 public:
  MyTestConnection(TComponent* owner, ServerSettings settings)
      : TCustomDAConnection(owner), settings_(std::move(settings)) {
    SetLoginPrompt(false);
    SetServer(settings_.host);
    SetUsername(settings_.user);
    SetPassword(settings_.password);
  }
  const TMetaClass& GetIConnectionClass() const override { return TMySQLConnection::ClassInfo(); }
  const TMetaClass& GetICommandClass() const override { return TMySQLCommand::ClassInfo(); }
  const TMetaClass& GetIRecordSetClass() const override { return TMySQLRecordset::ClassInfo(); }
  TComponent* CreateDataSet() override {
    auto* query = MakeComponent<TMyQuery>(nullptr);
    query->SetConnection(this);
    return query;
  }
  Variant ExecSQL(const std::string& text, const std::vector<Variant>&) override {
    Connect();
    Server().ExecStatement(text);
    return Variant::Null();
  }
  TMySQLConnection& Server() const { return *static_cast<TMySQLConnection*>(GetIConnection()); }

 protected:
  void CreateIConnection() override {
    if (GetIConnection()) return;
    auto server = std::make_unique<TMySQLConnection>();
    server->SetAPI(MyAPIDirect());
    server->SetPort(settings_.port);
    server->SetDatabase(settings_.database);
    SetIConnection(std::move(server));
  }

 private:
  ServerSettings settings_;
};

// A connection and a query on the test server (skipped without one).
class MyDataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto s = TestServer();
    if (!s) GTEST_SKIP() << "no test server";
    connection = MakeComponent<MyTestConnection>(nullptr, *s);
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
  void Exec(const std::string& sql) { connection->Server().ExecStatement(sql); }
  // The one value of a query run on the connection; "<none>" for NULL or no row.
  std::string Value(const std::string& sql) {
    const Rows rows = ApiQuery(connection->Server().GetAPI(), connection->Server().GetHandle(), sql);
    return rows.size() == 1 && !rows[0].empty() && rows[0][0] ? *rows[0][0] : "<none>";
  }
  void Open(TMyQuery* on, const std::string& sql) {
    on->SQL().SetText(sql);
    on->Open();
  }

  MyTestConnection* connection = nullptr;
  TMyQuery* query = nullptr;

 private:
  std::vector<TMyQuery*> made_;
};

}  // namespace dac::testing
