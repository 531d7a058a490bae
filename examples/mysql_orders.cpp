// mysql_orders: the MySQL components as an application uses them. On the
// server it is given it makes a table of orders of its own, reads one
// customer's orders through a query with a parameter, marks one shipped by
// an edit it posts, adds two orders as cached updates applied together,
// catches the error of a refused statement, and drops its table.
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dac/core/da_param.h"
#include "dac/core/server/da_errors.h"
#include "dac/framework/data/field.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/components/my_start_up.h"
#include "dac/mysql/provider/my_error.h"
#include "examples/server_settings.h"
#include "platform/program_usage.h"

namespace examples {
namespace {

// The provider's start-up and its shutdown, around everything else.
struct MySQLProvider {
  MySQLProvider() { dac::MySQLStartUp(); }
  ~MySQLProvider() { dac::MySQLShutdown(); }
  MySQLProvider(const MySQLProvider&) = delete;
  MySQLProvider& operator=(const MySQLProvider&) = delete;
};

// Components end with Free, never with delete; a connection frees the
// components it owns with it.
struct Free {
  void operator()(dac::TComponent* component) const { component->Free(); }
};
using Connection = std::unique_ptr<dac::TMyConnection, Free>;

Connection Connect(const ServerSettings& settings) {
  Connection connection(dac::MakeComponent<dac::TMyConnection>(nullptr));
  connection->SetLoginPrompt(false);
  if (!settings.host.empty()) connection->SetServer(settings.host);
  if (settings.port != 0) connection->SetPort(settings.port);
  connection->SetUsername(settings.user);
  connection->SetPassword(settings.password);
  connection->SetDatabase(settings.database);
  connection->Connect();
  return connection;
}

// A table of the run's own, named for the session's id on the server, so
// that runs side by side never meet; dropped however the run ends.
class OrdersTable {
 public:
  explicit OrdersTable(dac::TMyConnection& connection)
      : connection_(connection), name_("orders_" + std::to_string(connection.GetThreadId())) {
    connection_.ExecSQL("CREATE TABLE " + name_ +
                            " (id INT AUTO_INCREMENT PRIMARY KEY, customer VARCHAR(40) NOT NULL, "
                            "item VARCHAR(40) NOT NULL, quantity INT NOT NULL, shipped BOOL NOT NULL DEFAULT 0)",
                        {});
  }
  ~OrdersTable() {
    try {
      connection_.ExecSQL("DROP TABLE " + name_, {});
    } catch (const std::exception& e) {
      std::fprintf(stderr, "mysql_orders: cannot drop the table %s: %s\n", name_.c_str(), e.what());
    }
  }
  OrdersTable(const OrdersTable&) = delete;
  OrdersTable& operator=(const OrdersTable&) = delete;
  const std::string& Name() const { return name_; }

 private:
  dac::TMyConnection& connection_;
  std::string name_;
};

// An error's number, SQL state and text. A server's message begins with a
// line end, '#' and the five characters of its SQL state; the client's
// own messages have no state, and may hold line ends.
std::string ErrorText(const dac::EDAError& error) {
  std::string text = error.Message();
  std::string state = "HY000";
  if (text.starts_with("\r\n#") && text.size() >= 8) {
    state = text.substr(3, 5);
    text.erase(0, 8);
  }
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " ");
  return "error " + std::to_string(error.ErrorCode()) + " (" + state + "): " + text;
}

void PrintOrders(dac::TMyQuery& query) {
  for (query.First(); !query.GetEOF(); query.Next()) {
    std::printf("  order %d: %d x %s%s\n", query.FieldByName("id")->AsInteger(),
                query.FieldByName("quantity")->AsInteger(), query.FieldByName("item")->AsString().c_str(),
                query.FieldByName("shipped")->AsBoolean() ? ", shipped" : "");
  }
}

void AddOrder(dac::TMyQuery& query, const std::string& customer, const std::string& item, int quantity) {
  query.Append();
  query.FieldByName("customer")->SetAsString(customer);
  query.FieldByName("item")->SetAsString(item);
  query.FieldByName("quantity")->SetAsInteger(quantity);
  query.Post();
}

void Run(dac::TMyConnection& connection) {
  const OrdersTable table(connection);
  // Values go in as parameters, never pasted into the text.
  for (const char* item : {"rope", "shackle"})
    connection.ExecSQL("INSERT INTO " + table.Name() + " (customer, item, quantity) VALUES (:customer, :item, 2)",
                       {dac::Variant("ann"), dac::Variant(item)});
  connection.ExecSQL("INSERT INTO " + table.Name() + " (customer, item, quantity) VALUES ('ben', 'cleat', 1)", {});

  // The connection owns the query and frees it with itself.
  dac::TMyQuery& query = *dac::MakeComponent<dac::TMyQuery>(&connection);
  query.SetConnection(&connection);
  query.SQL().SetText("SELECT * FROM " + table.Name() + " WHERE customer = :customer ORDER BY id");
  query.ParamByName("customer")->SetAsString("ann");
  query.Open();
  std::printf("ann's orders:\n");
  PrintOrders(query);

  // An edit posted is written to the server at once.
  query.First();
  query.Edit();
  query.FieldByName("shipped")->SetAsBoolean(true);
  query.Post();
  std::printf("order %d marked shipped\n", query.FieldByName("id")->AsInteger());

  // Cached updates stay in the dataset until they are applied, together.
  query.Close();
  query.SetCachedUpdates(true);
  query.Open();
  AddOrder(query, "ann", "block", 4);
  AddOrder(query, "ann", "thimble", 10);
  query.ApplyUpdates();
  query.CommitUpdates();
  query.Refresh();
  std::printf("two orders added; ann's orders now:\n");
  PrintOrders(query);

  // A statement the server refuses raises EMyError with the server's code.
  try {
    connection.ExecSQL(
        "INSERT INTO " + table.Name() + " (id, customer, item, quantity) VALUES (:id, 'cara', 'hook', 1)",
        {dac::Variant(1)});
  } catch (const dac::EMyError& e) {
    std::printf("refused as expected: %s\n", ErrorText(e).c_str());
  }
}

constexpr char kUsage[] =
    "Usage: mysql_orders [OPTION]... --database NAME\n"
    "Shows the MySQL components at work in a table of its own in database NAME,\n"
    "which it drops again.\n"
    "\n"
    "  --host HOST          the server's host (MYSQL_HOST; localhost)\n"
    "  --port PORT          its TCP port (MYSQL_TCP_PORT; 3306)\n"
    "  --user USER          the account (USER)\n"
    "  --password PASSWORD  its password (MYSQL_PWD)\n"
    "  --database NAME      the database to work in\n"
    "  -h, --help           print this help and exit\n"
    "\n"
    "A setting not given on the command line comes from the environment variable\n"
    "named beside it. Exit status: 0 when done, 1 when the server or the library\n"
    "failed, 2 for a usage error.\n";

}  // namespace
}  // namespace examples

int main(int argc, char** argv) {
  const examples::SettingsLine line = examples::ReadServerSettings({argv + 1, argv + argc});
  if (const auto status = plat::AnswerHelpOrProblem("mysql_orders", examples::kUsage, line.help, line.problem))
    return *status;
  const examples::MySQLProvider provider;
  try {
    const examples::Connection connection = examples::Connect(line.settings);
    examples::Run(*connection);
    return 0;
  } catch (const dac::EDAError& e) {
    // The server's or the client's error: a connection refused, say.
    std::fprintf(stderr, "mysql_orders: %s\n", examples::ErrorText(e).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mysql_orders: %s\n", e.what());
  }
  return 1;
}
