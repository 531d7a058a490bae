// The provider's start-up and shutdown: the record store's compression
// hooks become zlib's once, and the matching shutdown clears the pools.
#include <gtest/gtest.h>

#include <string>

#include "dac/mysql/client/transport/zlib_routines.h"
#include "dac/mysql/components/my_start_up.h"
#include "dac/store/blob/compressed_blob.h"
#include "tests/dac/mysql/pool_test_support.h"
#include "tests/dac/store/zlib_hooks.h"

namespace dac {
namespace {

int NotZlib(unsigned char*, unsigned long*, const unsigned char*, unsigned long) { return -1; }

TEST(MySQLStartUp, InstallsZlibAsTheBlobCompressorOnceAndNests) {
  testing::HooksGuard guard;
  CompressProc = UncompressProc = nullptr;
  MySQLShutdown();  // without a start-up: gives nothing back
  MySQLStartUp();
  EXPECT_EQ(CompressProc.load(), &MySqlCompress);
  EXPECT_EQ(UncompressProc.load(), &MySqlUncompress);
  std::string value;
  for (int i = 0; i < 5000; ++i) value += "row " + std::to_string(i % 17) + ";";
  SharedRef<TCompressedBlob> blob = MakeShared<TCompressedBlob>();
  blob->Write(0, static_cast<uint32_t>(value.size()), value.data());
  blob->SetCompressed(true);
  ASSERT_TRUE(blob->GetCompressed());
  EXPECT_LT(blob->GetCompressedSize(), value.size() / 10);
  std::string back(blob->GetSize(), '\0');
  blob->Read(0, static_cast<uint32_t>(back.size()), back.data());
  EXPECT_EQ(back, value);

  CompressProc = NotZlib;
  MySQLStartUp();  // inside the first: leaves the hooks as they are
  EXPECT_EQ(CompressProc.load(), &NotZlib);
  MySQLShutdown();
  MySQLShutdown();
  MySQLStartUp();  // afresh: installs them again
  EXPECT_EQ(CompressProc.load(), &MySqlCompress);
  MySQLShutdown();
}

TEST(MySQLStartUp, TheLastShutdownClearsThePools) {
  REQUIRE_TEST_SERVER(s);
  testing::HooksGuard guard;
  MySQLStartUp();  // no pool manager yet: nothing to clear
  MySQLStartUp();
  testing::SessionWatcher watcher(s);
  TDKConnection* idle = TMyConnectionPoolManager::GetConnection(testing::PoolParameters(s));
  TDKConnection* out = TMyConnectionPoolManager::GetConnection(testing::PoolParameters(s));
  const uint32_t idle_id = testing::SessionId(idle), out_id = testing::SessionId(out);
  idle->ReturnToPool();
  MySQLShutdown();
  EXPECT_TRUE(watcher.Alive(idle_id)) << "an inner shutdown leaves the pools";
  MySQLShutdown();
  EXPECT_TRUE(watcher.Ends(idle_id));
  EXPECT_TRUE(watcher.Alive(out_id));
  out->ReturnToPool();  // to a cleared pool: closed
  EXPECT_TRUE(watcher.Ends(out_id));
}

}  // namespace
}  // namespace dac
