// Mutated and truncated captures of real replies, played back through the
// session and the row decoders: every outcome is a result or an
// EMySqlException, in bounded time and memory (a fixed seed keeps it repeatable).
#include <gtest/gtest.h>

#include <memory>

#include "dac/mysql/client/session/mysql_result_set.h"
#include "dac/mysql/client/session/mysql_session.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/row_decoder.h"
#include "tests/dac/mysql/client/query_capture.h"
#include "tests/dac/mysql/client/wire_test_support.h"

namespace dac {
namespace {

using testing::Capture;

// Logs in, queries and reads every row in use mode; the rows read.
int PlayBack(const TBytes& capture, bool compressed, bool store) {
  testing::PlaybackHandler handler(capture);
  TMySqlSession session;
  session.GetNet().SetMaxPacketSize(1 << 20);
  session.SetIOHandler(&handler);
  session.Connect("server", "user", "pw", "shop", 0, "", compressed ? kClientCompress : 0);
  const std::string sql = "SELECT id, name, note FROM t";
  session.SimpleCommand(scQuery, reinterpret_cast<const uint8_t*>(sql.data()), true, static_cast<int>(sql.size()));
  session.ReadQueryResult();
  if (session.GetFieldCount() == 0) return 0;
  TMySqlResultSet result(&session);
  if (store) result.ReadRows();
  TMySqlBinds* binds = result.GetBinds();
  int rows = 0;
  while (result.Read(binds)) {
    for (int i = 0; i < result.GetFieldCount(); ++i) {
      const TMySqlBind& b = (*binds)[i];
      if (!b.is_null) {
        EXPECT_GE(b.offset, 0);
        EXPECT_LE(b.offset + b.length, binds->GetBufferLength());
      }
    }
    ++rows;
  }
  return rows;
}

TEST(HostileInputTest, TheCapturesThemselvesPlayBack) {
  for (bool compressed : {false, true})
    for (bool store : {false, true}) EXPECT_EQ(PlayBack(Capture(compressed), compressed, store), 3);
}

class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  uint32_t Next(uint32_t bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return bound ? (state_ >> 8) % bound : 0;
  }

 private:
  uint32_t state_;
};

TBytes Mutate(const TBytes& original, Lcg& rng) {
  TBytes m = original;
  const int edits = 1 + static_cast<int>(rng.Next(4));
  for (int e = 0; e < edits && !m.empty(); ++e) {
    const size_t at = rng.Next(static_cast<uint32_t>(m.size()));
    switch (rng.Next(6)) {
      case 0:
        m[at] = static_cast<uint8_t>(rng.Next(256));
        break;
      case 1:
        m[at] = std::vector<uint8_t>{0x00, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF}[rng.Next(6)];
        break;
      case 2:
        m.resize(at);
        break;
      case 3:
        m.insert(m.begin() + static_cast<long>(at), static_cast<uint8_t>(rng.Next(256)));
        break;
      case 4:
        m.erase(m.begin() + static_cast<long>(at));
        break;
      default:
        // A length field made large.
        if (at + 3 <= m.size()) m[at + 2] = static_cast<uint8_t>(0x80 | rng.Next(128));
        break;
    }
  }
  return m;
}

TEST(HostileInputTest, MutatedCapturesEndInAResultOrAProtocolError) {
  Lcg rng(20240611);
  int errors = 0;
  for (bool compressed : {false, true}) {
    const TBytes capture = Capture(compressed);
    for (int i = 0; i < 1500; ++i) {
      const TBytes mutated = Mutate(capture, rng);
      const bool store = (i % 3) == 0;
      try {
        PlayBack(mutated, compressed, store);
      } catch (const EMySqlException&) {
        ++errors;
      } catch (const std::exception& e) {
        ADD_FAILURE() << "case " << i << (compressed ? " compressed" : "") << ": " << e.what();
      }
    }
  }
  EXPECT_GT(errors, 500);
}

TEST(HostileInputTest, EveryTruncationOfTheCaptureIsAResultOrAProtocolError) {
  for (bool compressed : {false, true}) {
    const TBytes capture = Capture(compressed);
    for (size_t n = 0; n < capture.size(); ++n) {
      try {
        PlayBack(TBytes(capture.begin(), capture.begin() + static_cast<long>(n)), compressed, n % 2 == 0);
      } catch (const EMySqlException&) {
      } catch (const std::exception& e) {
        ADD_FAILURE() << "cut at " << n << ": " << e.what();
      }
    }
  }
}

TEST(HostileInputTest, RowDecodersStayInsideTheRow) {
  Lcg rng(77);
  TMySqlFieldInfos fields;
  for (uint8_t type : {mftTiny, mftShort, mftLong, mftLongLong, mftDouble, mftVarString, mftDateTime, mftYear,
                       mftBlob, mftInt24})
    fields.push_back(MySqlFieldInfo("f", "", "", "", "", "", 10, 0, 0, 0, 8, type));
  const int count = static_cast<int>(fields.size());
  TMySqlBinds binds(count);
  for (int i = 0; i < 4000; ++i) {
    TBytes row(rng.Next(64));
    for (uint8_t& b : row) b = static_cast<uint8_t>(rng.Next(4) == 0 ? rng.Next(256) : rng.Next(8));
    for (bool binary : {false, true}) {
      try {
        if (binary)
          DecodeBinaryRow(row.data(), static_cast<int>(row.size()), fields, count, binds);
        else
          DecodeTextRow(row.data(), static_cast<int>(row.size()), count, binds);
        for (int f = 0; f < count; ++f) {
          if (binds[f].is_null) continue;
          EXPECT_GE(binds[f].offset, 0);
          EXPECT_LE(static_cast<size_t>(binds[f].offset + binds[f].length), row.size());
        }
      } catch (const EMySqlException& e) {
        EXPECT_EQ(e.ErrorCode(), kCrMalformedPacket);
      }
    }
  }
}

}  // namespace
}  // namespace dac
