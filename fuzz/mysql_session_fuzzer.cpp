// A hostile server, from the first byte it sends to the last (after a byte
// that asks for compression, picks buffered or row-by-row reading, and
// queries or prepared statements): the greeting, the login, then two queries
// with their results, or a statement prepared and executed with its binary
// rows, rows read to the end. Every outcome is a result or a protocol error,
// and every value a row yields lies inside its row.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dac/core/server/param_desc.h"
#include "dac/framework/values/bytes.h"
#include "dac/mysql/client/session/mysql_result_set.h"
#include "dac/mysql/client/session/mysql_session.h"
#include "dac/mysql/client/session/mysql_stmt.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/protocol.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/row_bounds.h"
#include "tests/dac/mysql/client/wire_test_support.h"

namespace fuzz {
namespace {

void ReadResult(dac::TMySqlSession& session, bool store) {
  dac::TMySqlResultSet result(&session);
  if (store) result.ReadRows();
  dac::TMySqlBinds* binds = result.GetBinds();
  while (result.Read(binds)) RequireValuesInsideRow(*binds, binds->GetBufferLength());
}

void RunStatement(dac::TMySqlSession& session, const std::string& sql) {
  dac::TMySqlStmt statement(&session);
  statement.Prepare(reinterpret_cast<const uint8_t*>(sql.data()), static_cast<int>(sql.size()));
  statement.Execute(dac::TParamDescs(), false);
  if (statement.GetFieldCount() == 0) return;
  dac::TMySqlBinds* binds = nullptr;
  while (statement.Fetch(binds) == 0) RequireValuesInsideRow(*binds, binds->GetBufferLength());
}

void Converse(uint8_t setup, const uint8_t* data, size_t size) {
  dac::testing::PlaybackHandler server(dac::TBytes(data, data + size));
  dac::TMySqlSession session;
  session.GetNet().SetMaxPacketSize(1 << 20);
  session.SetIOHandler(&server);
  session.Connect("server", "user", "pw", "shop", 0, "", setup & 1 ? dac::kClientCompress : 0);
  const std::string sql = "SELECT id, name, note FROM t";
  if (setup & 4) return RunStatement(session, sql);
  for (int query = 0; query < 2; ++query) {
    session.SimpleCommand(dac::scQuery, reinterpret_cast<const uint8_t*>(sql.data()), true,
                          static_cast<int>(sql.size()));
    session.ReadQueryResult();
    if (session.GetFieldCount() > 0) ReadResult(session, setup & 2);
  }
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  try {
    fuzz::Converse(data[0], data + 1, size - 1);
  } catch (const dac::EMySqlException&) {
  }
  return 0;
}
