#include "dac/core/trace/sql_monitor.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dac/core/server/da_errors.h"
#include "dac/core/trace/sql_monitor_client.h"
#include "dac/core/trace/tracedesk_client.h"
#include "dac/framework/data/params.h"
#include "dac/store/runtime/buffer_routines.h"
#include "dac/store/runtime/host_hooks.h"
#include "platform/date_time.h"
#include "platform/files.h"
#include "platform/settings_store.h"
#include "tests/dac/core/support/traced_components.h"
#include "tests/dac/framework/error_text.h"
#include "tests/support/test_folder.h"

namespace dac::test {
namespace {

// A provider's monitor: the class's current monitor is the first one made.
class TestMonitor : public TCustomDASQLMonitor {
  DAC_DECLARE_CLASS();

 public:
  explicit TestMonitor(TComponent* owner) : TCustomDASQLMonitor(owner) {
    if (!current) current = this;
  }
  static inline TestMonitor* current = nullptr;
  // When set, the parents the class names for every component.
  static inline std::vector<TComponent*> parents;

 protected:
  ~TestMonitor() override {
    if (current == this) current = nullptr;
  }
};

class TestMonitorClass : public TDASQLMonitorClassOf<TestMonitor> {
 public:
  using TDASQLMonitorClassOf::TDASQLMonitorClassOf;
  TCustomDASQLMonitor* GetMonitor() const override { return TestMonitor::current; }
  std::string GetCaption() const override { return "Test trace"; }
  int GetParentCount(TComponent* component) const override {
    return TestMonitor::parents.empty() ? TDASQLMonitorClass::GetParentCount(component)
                                        : static_cast<int>(TestMonitor::parents.size());
  }
  TComponent* GetParent(TComponent* component, int index) const override {
    return TestMonitor::parents.empty() ? TDASQLMonitorClass::GetParent(component, index)
                                        : TestMonitor::parents[static_cast<size_t>(index)];
  }
};

DAC_DEFINE_CLASS(TestMonitor, TCustomDASQLMonitor, TestMonitorClass)

struct SQLMonitorLog {
  std::string name;
  std::vector<std::string> statements;
  ISQLMonitorClient::TSignal signal;
  bool released = false;
};

class RecordingSQLMonitor : public ISQLMonitorClient {
 public:
  explicit RecordingSQLMonitor(std::shared_ptr<SQLMonitorLog> log) : log_(std::move(log)) {}
  ~RecordingSQLMonitor() override { log_->released = true; }
  void Register(const std::string& name, TSignal signal) override {
    log_->name = name;
    log_->signal = std::move(signal);
  }
  void AddStatement(const std::string& text) override { log_->statements.push_back(text); }

 private:
  std::shared_ptr<SQLMonitorLog> log_;
};

// Gives ids 41, 42, ... to before events, as the application does.
class RecordingTracedesk : public ITracedesk {
 public:
  std::string Version() override { return "3.1"; }
  void SetCaption(const std::string& value) override { caption = value; }
  void Event(TMonitorMessage& message, const std::optional<std::string>& extra) override {
    Number(message);
    events.push_back(message);
    extras.push_back(extra);
  }
  void SQLEvent(TMonitorMessage& message, const std::string& sql, std::span<const TSQLParam> params,
                int32_t rows_affected) override {
    Number(message);
    sql_events.push_back(message);
    sql_texts.push_back(sql + " #" + std::to_string(params.size()) + " rows " + std::to_string(rows_affected));
  }

  std::string caption;
  std::vector<TMonitorMessage> events;
  std::vector<std::optional<std::string>> extras;
  std::vector<TMonitorMessage> sql_events;
  std::vector<std::string> sql_texts;

 private:
  void Number(TMonitorMessage& message) {
    if (message.TracePoint == tpBeforeEvent) message.MessageID = next_id_++;
  }
  int32_t next_id_ = 41;
};

struct OnSQLRecord {
  std::string text;
  TDATraceFlag flag;
};

class SQLMonitorTest : public ::testing::Test {
 protected:
  SQLMonitorTest() {
    connection->SetName("Conn1");
    connection->username = "scott";
    connection->server = "db.example";
    query->SetName("Query1");
    query->connection = connection;
    params.CreateParam(ftInteger, "ID", ptInput)->SetAsInteger(5);
    previous_factory_ = SetSQLMonitorClientFactory([this] { return std::make_unique<RecordingSQLMonitor>(sql_log); });
    previous_creator_ = SetTracedeskCreator([this](const std::string&, const std::string&) { return tracedesk; });
    ApplicationTitleProc = [] { return std::string("Quiz App"); };
  }
  ~SQLMonitorTest() override {
    TComponent::FreeAndNil(monitor);
    query->Free();
    connection->Free();
    SetSQLMonitorClientFactory(previous_factory_);
    SetTracedeskCreator(previous_creator_);
    ApplicationTitleProc = nullptr;
    ShowDebugFormProc = nullptr;
    TestMonitor::parents.clear();
  }

  void RegisterTracedesk() {
    const std::string server = folder_.path() + "/tracedesk.so";
    plat::WriteFileAtomic(server, "");
    plat::WriteSettingString(std::string("Classes\\CLSID\\") + Class_Tracedesk + "\\InprocServer32", "@", server);
  }
  void MakeMonitor() {
    monitor = MakeComponent<TestMonitor>(nullptr);
    monitor->SetOnSQL([this](TObject*, const std::string& text, TDATraceFlag flag) { on_sql.push_back({text, flag}); });
  }
  const TDASQLMonitorClass& Class() const { return SQLMonitorClassOf<TestMonitor>(); }

  plat::testing::TestFolder folder_;
  plat::testing::ScopedEnv config_{"XDG_CONFIG_HOME", folder_.path() + "/config"};
  TracedConnection* connection = MakeComponent<TracedConnection>(nullptr);
  TracedQuery* query = MakeComponent<TracedQuery>(nullptr);
  TParams params;
  std::shared_ptr<SQLMonitorLog> sql_log = std::make_shared<SQLMonitorLog>();
  std::shared_ptr<RecordingTracedesk> tracedesk = std::make_shared<RecordingTracedesk>();
  TestMonitor* monitor = nullptr;
  std::vector<OnSQLRecord> on_sql;

 private:
  TSQLMonitorClientFactory previous_factory_;
  TTracedeskCreator previous_creator_;
};

std::string Hex8(uint32_t value) { return Format("%.8X", value); }

TEST_F(SQLMonitorTest, EveryEventReachesOnSQLOnceWithItsTextAndFlag) {
  MakeMonitor();
  EXPECT_TRUE(monitor->GetActive());
  EXPECT_EQ(monitor->GetTraceFlags().Bits(), 0x066Bu);
  EXPECT_EQ(monitor->GetOptions().Bits(), 15u);
  using Call = std::function<void(int32_t & id, bool before)>;
  struct Case {
    Call call;
    std::string text;
    TDATraceFlag flag;
  };
  const std::string sql = "select * from t where id = :ID";
  const Case cases[] = {
      {[&](int32_t& id, bool b) { Class().SQLExecute(query, sql, &params, "", id, b); }, sql + "\r\n:ID(Integer,IN)=5",
       tfQExecute},
      {[&](int32_t& id, bool b) { Class().SQLPrepare(query, sql, &params, id, b); },
       "Prepare: " + sql + "\r\n:ID(Integer,IN)=5", tfQPrepare},
      {[&](int32_t& id, bool b) { Class().SQLUnprepare(query, "begin", nullptr, id, b); }, "Unprepare: begin",
       tfQPrepare},
      {[&](int32_t& id, bool b) { Class().DBConnect(connection, id, b); }, "Connect: scott@db.example", tfConnect},
      {[&](int32_t& id, bool b) { Class().DBDisconnect(connection, id, b); }, "Disconnect: scott@db.example",
       tfConnect},
      {[&](int32_t& id, bool b) { Class().TRStart(connection, id, b); }, "Start: scott@db.example", tfTransact},
      {[&](int32_t& id, bool b) { Class().TRCommit(connection, id, b); }, "Commit: scott@db.example", tfTransact},
      {[&](int32_t& id, bool b) { Class().TRRollback(connection, id, b); }, "Rollback: scott@db.example", tfTransact},
      {[&](int32_t&, bool b) {
         if (b) Class().DBError(EDAError(1045, "Access denied"));
       },
       "Error: Access denied", tfError},
      {[&](int32_t& id, bool b) {
         if (b) Class().CustomMessage(connection, "pool refilled", id);
       },
       "pool refilled", tfMisc},
  };
  for (const Case& c : cases) {
    on_sql.clear();
    int32_t id = 0;
    c.call(id, true);
    c.call(id, false);
    ASSERT_EQ(on_sql.size(), 1u) << c.text;
    EXPECT_EQ(on_sql[0].text, c.text);
    EXPECT_EQ(on_sql[0].flag, c.flag) << c.text;
  }

  on_sql.clear();
  monitor->SetTraceFlags(TCustomDASQLMonitor::kDefaultTraceFlags - TDATraceFlags{tfQExecute});
  int32_t id = 0;
  Class().SQLExecute(query, sql, &params, "", id, true);
  EXPECT_TRUE(on_sql.empty());
  Class().SQLPrepare(query, sql, &params, id, true);
  EXPECT_EQ(on_sql.size(), 1u);

  // A monitor read with its owner activates once loaded.
  TComponent* form = MakeComponent<TComponent>(nullptr);
  form->BeginLoading();
  TestMonitor* read = MakeComponent<TestMonitor>(form);
  EXPECT_FALSE(read->GetActive());
  read->Loaded();
  EXPECT_TRUE(read->GetActive());
  form->Free();
}

TEST_F(SQLMonitorTest, ParametersRenderOneLineEach) {
  TParams table;
  table.CreateParam(ftUnknown, "ID", ptInput)->SetAsInteger(5);
  table.CreateParam(ftUnknown, "NAME", ptUnknown)->SetAsString("abc");
  table.CreateParam(ftInteger, "TOTAL", ptOutput);
  table.CreateParam(ftUnknown, "PHOTO", ptInputOutput)->SetAsBlob("12345");
  table.CreateParam(ftUnknown, "RAW", ptInput)->SetAsBytes(TBytes{1, 2, 3, 4});
  table.CreateParam(ftCursor, "RC", ptResult)->SetAsVariant(Variant(int32_t{0}));
  DateTime day = 0;
  ASSERT_TRUE(plat::TryEncodeDate(2024, 3, 7, day));
  table.CreateParam(ftUnknown, "DAY", ptInput)->SetAsDate(day);
  table.CreateParam(ftUnknown, "AT", ptInput)->SetAsDateTime(day + 0.5);

  TSQLParams records;
  EXPECT_EQ(Class().GetParams(&table, records),
            ":ID(Integer,IN)=5 \r\n"
            ":NAME(String[3])='abc' \r\n"
            ":TOTAL(Integer,OUT)=<NULL> \r\n"
            ":PHOTO(Blob,IN/OUT)=<BLOB:5> \r\n"
            ":RAW(VarBytes,IN)=<BLOB:4> \r\n"
            ":RC(Cursor,RESULT)=<CURSOR> \r\n"
            ":DAY(Date,IN)=3/7/2024 \r\n"
            ":AT(DateTime,IN)=3/7/2024 12:00:00 \r\n");
  ASSERT_EQ(records.size(), 8u);
  EXPECT_EQ(records[1].DataType, "String[3]");
  EXPECT_EQ(records[1].ParamType, "");
  EXPECT_EQ(records[2].Value, "<NULL>");
  EXPECT_EQ(Class().GetParams(nullptr, records), "");
  EXPECT_TRUE(records.empty());
}

TEST_F(SQLMonitorTest, DebugHookRunsAloneWithoutMonitorAndByTheDialogRuleWithOne) {
  std::vector<std::string> captions;
  ShowDebugFormProc = [&](TComponent*, const std::string&, TParams*, const std::string& caption) {
    captions.push_back(caption);
  };
  const TDASQLMonitorClass& base = SQLMonitorClassOf<TCustomDASQLMonitor>();
  EXPECT_FALSE(base.HasMonitor());
  EXPECT_EQ(base.GetCaption(), "DataAccess");
  int32_t id = 0;
  for (bool before : {true, false}) {
    base.SQLExecute(query, "select 1", nullptr, "", id, before);
    base.SQLExecute(query, "select 1", nullptr, "Refresh", id, before);
    base.SQLPrepare(query, "select 1", nullptr, id, before);
    base.SQLUnprepare(query, "select 1", nullptr, id, before);
    base.DBConnect(connection, id, before);
  }
  EXPECT_EQ(captions, (std::vector<std::string>{"Execute", "Refresh", "Prepare", "Unprepare"}));

  MakeMonitor();
  captions.clear();
  Class().SQLExecute(query, "select 1", nullptr, "", id, true);  // moCustom: only components asking
  query->debug = true;
  Class().SQLExecute(query, "select 1", nullptr, "", id, true);
  query->debug = false;
  monitor->SetOptions(TCustomDASQLMonitor::kDefaultOptions - TMonitorOptions{moCustom});
  Class().SQLPrepare(query, "select 1", nullptr, id, true);
  Class().SQLPrepare(query, "select 1", nullptr, id, false);
  EXPECT_EQ(captions, (std::vector<std::string>{"Execute", "Prepare"}));
}

TEST_F(SQLMonitorTest, OutputsAttachAndCarryStatementsEventsAndIds) {
  RegisterTracedesk();
  MakeMonitor();
  EXPECT_EQ(tracedesk->caption, "Test trace");
  EXPECT_EQ(sql_log->name, "Quiz App");

  query->rows_affected = 3;
  int32_t id = 0;
  Class().SQLExecute(query, "select :ID", &params, "Refresh", id, true);
  EXPECT_EQ(id, 41);
  Class().SQLExecute(query, "select :ID", &params, "Refresh", id, false);
  EXPECT_EQ(sql_log->statements, (std::vector<std::string>{"SQL Execute [Refresh]: select :ID", ":ID(Integer,IN)=5"}));
  ASSERT_EQ(tracedesk->sql_events.size(), 2u);
  const TMonitorMessage& before = tracedesk->sql_events[0];
  EXPECT_EQ(before.EventType, etExecute);
  EXPECT_EQ(before.ComponentName, "Query1");
  EXPECT_EQ(before.ParentName, "Conn1");
  EXPECT_EQ(before.ParentID, GetComponentID(connection));
  EXPECT_EQ(before.Description, "SQL Execute: select :ID\r\n:ID(Integer,IN)=5");
  EXPECT_EQ(tracedesk->sql_events[1].TracePoint, tpAfterEvent);
  EXPECT_EQ(tracedesk->sql_events[1].MessageID, 41);
  EXPECT_EQ(tracedesk->sql_texts[0], "select :ID #1 rows 3");

  // Handle texts name the component, its connection and their ids.
  monitor->SetOptions(monitor->GetOptions() | TMonitorOptions{moHandled});
  const std::string conn_handle = "Conn1$" + Hex8(GetComponentID(connection));
  Class().DBConnect(connection, id, true);
  Class().SQLExecute(query, "select 1", nullptr, "", id, true);
  EXPECT_EQ(sql_log->statements[2], "Connect: scott@db.example [" + conn_handle + "] ");
  EXPECT_EQ(sql_log->statements[3],
            "SQL Execute [Query1$" + Hex8(GetComponentID(query)) + "; " + conn_handle + "] : select 1");
  EXPECT_EQ(tracedesk->extras.back(), "Username=scott\r\nServer=db.example");

  // One transaction event per parent; errors and custom messages as they are.
  TracedConnection* second = MakeComponent<TracedConnection>(nullptr);
  second->SetName("Conn2");
  TestMonitor::parents = {connection, second};
  tracedesk->events.clear();
  tracedesk->extras.clear();
  Class().TRCommit(connection, id, true);
  Class().DBError(EDAError(1045, "Access denied"));
  Class().CustomMessage(connection, "hello", id);
  ASSERT_EQ(tracedesk->events.size(), 5u);
  EXPECT_EQ(tracedesk->events[0].EventType, etCommit);
  EXPECT_EQ(tracedesk->events[1].ParentName, "Conn2");
  EXPECT_EQ(tracedesk->events[2].EventType, etError);
  EXPECT_EQ(tracedesk->events[2].TracePoint, tpAfterEvent);
  EXPECT_EQ(tracedesk->events[2].ComponentName, "");
  EXPECT_EQ(tracedesk->extras[2], "Access denied");
  EXPECT_EQ(tracedesk->events[3].EventType, etConnect);
  EXPECT_EQ(tracedesk->events[4].MessageID, tracedesk->events[3].MessageID);
  second->Free();

  sql_log->signal(nullptr, 0x12340003);
  EXPECT_EQ(monitor->GetTraceFlags().Bits(), 3u);
  monitor->SetActive(false);
  EXPECT_TRUE(sql_log->released);
  EXPECT_EQ(tracedesk.use_count(), 1);
}

TEST_F(SQLMonitorTest, ComponentsAreNamedAndNumberedByAddressAndConnection) {
  TracedQuery* unnamed = MakeComponent<TracedQuery>(nullptr);
  unnamed->connection = connection;
  const auto address = [](const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); };
  EXPECT_EQ(GetComponentID(connection), address(connection));
  EXPECT_EQ(GetComponentID(unnamed), address(unnamed) ^ Reverse4(address(connection)));
  EXPECT_EQ(GetComponentName(unnamed), "TracedQuery ($" + Hex8(GetComponentID(unnamed)) + ")");
  EXPECT_EQ(GetComponentName(query), "Query1");
  unnamed->Free();
}

TEST_F(SQLMonitorTest, TracedeskIsFoundOnlyWhereRegistered) {
  EXPECT_EQ(GetTracedesk(), nullptr);  // nothing registered: no object, no error
  EXPECT_EQ(GetTracedeskVersion(), "not available");

  const std::string application = folder_.path() + "/tracedesk";
  plat::WriteFileAtomic(application, "");
  plat::WriteSettingString("Software\\Tamrin\\Tracedesk", "Self", application);
  EXPECT_TRUE(HasMonitor());
  const std::string out_of_date = "Current Tracedesk version is out of date. Please update.";
  EXPECT_EQ(ErrorOf([] { GetTracedesk(); }), out_of_date);
  EXPECT_EQ(ErrorOf([this] { MakeMonitor(); }), out_of_date);
  EXPECT_EQ(monitor, nullptr);

  RegisterTracedesk();
  EXPECT_EQ(GetTracedeskVersion(), "3.1");
}

}  // namespace
}  // namespace dac::test
