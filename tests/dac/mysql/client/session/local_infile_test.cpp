#include "dac/mysql/client/session/local_infile.h"

#include <gtest/gtest.h>

namespace dac {
namespace {

std::vector<std::string> Names(const std::string& sql) {
  return LocalInfileNames(reinterpret_cast<const uint8_t*>(sql.data()), sql.size());
}

using List = std::vector<std::string>;

TEST(LocalInfileNamesTest, FindsTheNamedFilesWithQuotesAndEscapesDecoded) {
  EXPECT_EQ(Names("LOAD DATA LOCAL INFILE '/tmp/a.csv' INTO TABLE t"), List{"/tmp/a.csv"});
  EXPECT_EQ(Names("load data low_priority local infile \"b\" into table t"), List{"b"});
  EXPECT_EQ(Names("LOAD DATA CONCURRENT LOCAL INFILE 'it''s\\\\x\\n' INTO TABLE t"), List{"it's\\x\n"});
  EXPECT_EQ(Names("LOAD XML LOCAL INFILE 'x.xml' INTO TABLE t"), List{"x.xml"});
  EXPECT_EQ(Names("LOAD DATA LOCAL INFILE 'a' INTO TABLE t; LOAD DATA LOCAL INFILE 'b' INTO TABLE u"),
            (List{"a", "b"}));
  EXPECT_EQ(Names("LOAD /* c */ DATA\n LOCAL -- x\n INFILE 'c' INTO TABLE t"), List{"c"});
}

TEST(LocalInfileNamesTest, NamesElsewhereDoNotCount) {
  EXPECT_TRUE(Names("SELECT 'LOAD DATA LOCAL INFILE \\'/etc/passwd\\''").empty());
  EXPECT_TRUE(Names("LOAD DATA INFILE '/server/side' INTO TABLE t").empty());
  EXPECT_TRUE(Names("/* LOAD DATA LOCAL INFILE 'x' */ SELECT 1").empty());
  EXPECT_TRUE(Names("SELECT `LOAD DATA LOCAL INFILE 'y'`").empty());
  EXPECT_TRUE(Names("LOAD DATA LOCAL INFILE @name INTO TABLE t").empty());
  EXPECT_TRUE(Names("LOAD DATA LOCAL INFILE 'unterminated").size() == 1);
  EXPECT_TRUE(Names("SELECT 1").empty());
}

}  // namespace
}  // namespace dac
