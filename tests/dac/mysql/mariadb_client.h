// The mariadb command-line client on the test server: what the server
// holds, seen by a program other than the library. SQL goes through a file
// (no shell quoting) in latin1, the library's own default, so that names
// in the test's text mean what they mean to the library; values are read
// as HEX() of what the server holds; rows come back as tab-separated lines.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/dac/mysql/client/server_test_support.h"
#include "tests/support/test_folder.h"

namespace dac::testing {

// The word in single quotes for the shell.
inline std::string ShellWord(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The lines the client writes for the statements, which must succeed.
inline std::vector<std::string> MariadbLines(const ServerSettings& s, const std::string& sql) {
  const plat::testing::TestFolder folder;
  const std::string in = folder.path() + "/in.sql";
  const std::string out = folder.path() + "/out.txt";
  const std::string err = folder.path() + "/err.txt";
  std::ofstream(in, std::ios::binary) << sql;
  const std::string command = "mariadb --no-defaults -N -B --default-character-set=latin1 -h " + ShellWord(s.host) +
                              " -P " + std::to_string(s.port) + " -u " + ShellWord(s.user) + " " +
                              ShellWord("-p" + s.password) + " " + ShellWord(s.database) + " <" + ShellWord(in) +
                              " >" + ShellWord(out) + " 2>" + ShellWord(err);
  const int status = std::system(command.c_str());
  std::ifstream errors(err, std::ios::binary);
  std::stringstream error_text;
  error_text << errors.rdbuf();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << sql << ": " << error_text.str();
  std::ifstream result(out, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(result, line);) lines.push_back(line);
  return lines;
}

// Upper-case hexadecimal digits of the bytes, as HEX() writes them.
inline std::string HexOf(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

}  // namespace dac::testing
