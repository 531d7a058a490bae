// The player end to end: the built executable as a user runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/app/player_process.h"
#include "tests/server/server_test_support.h"
#include "tests/support/eventually.h"
#include "tests/support/test_folder.h"

namespace app {
namespace {

using plat::testing::ConnectTo;

class ServeMode : public ::testing::Test {
 protected:
  void SetUp() override {
    content_ = folder_.path() + "/course/";
    plat::WriteFileAtomic(content_ + "index.html", "<html>start</html>");
    plat::CreateFolders(home_);
  }
  // Per-user folders inside the test's own folder, and no display.
  std::map<std::string, std::string> Env() const {
    return {{"XDG_DATA_HOME", home_ + "data"}, {"XDG_CONFIG_HOME", home_ + "config"}, {"DISPLAY", ""},
            {"WAYLAND_DISPLAY", ""}};
  }

  plat::testing::TestFolder folder_;
  std::string content_;
  const std::string home_ = folder_.path() + "/home/";
};

TEST_F(ServeMode, PrintsItsUrlServesAndStopsOnSigterm) {
  Player player({"--serve", content_}, Env());
  const std::string url = player.FirstLine();
  const uint16_t port = PortOfUrl(url);
  ASSERT_NE(port, 0) << url;

  const std::string reply = Get(port, "/");
  EXPECT_TRUE(reply.starts_with("HTTP/1.0 200 OK\r\nServer: Varnel Server 1.0\r\n")) << reply;
  EXPECT_TRUE(reply.ends_with("\r\nContent-Length: 18\r\n\r\n<html>start</html>")) << reply;

  // Another loopback address reaches every interface's listener, but not this one.
  const int elsewhere = ConnectTo(port, "127.0.0.2");
  EXPECT_LT(elsewhere, 0);
  if (elsewhere >= 0) ::close(elsewhere);

  player.Signal(SIGTERM);
  EXPECT_EQ(player.Wait(), 0);
  EXPECT_EQ(player.RestOfStdout(), "");
  // Whether the port is free now says nothing: parallel tests listen from
  // port 1000 up too and may take it the moment the player lets it go.
}

TEST_F(ServeMode, SigintAndSighupStopItToo) {
  for (int signal_number : {SIGINT, SIGHUP}) {
    Player player({"--serve", content_}, Env());
    ASSERT_FALSE(player.FirstLine().empty());
    player.Signal(signal_number);
    EXPECT_EQ(player.Wait(), 0) << signal_number;
  }
}

// A package damaged or cut short is refused in words, the detail after; a
// file that only has the package's name is served as its folder, and said so.
TEST_F(ServeMode, ContentThatCannotBeOpenedIsReported) {
  const std::string broken = folder_.path() + "/broken.vrn";
  const std::string whole = folder_.path() + "/whole.vrn";
  server::PutPackage(whole, {{"index.html", "<html>start</html>"}, {"projectid.txt", "cut"}});
  const std::string bytes = plat::ReadWholeFile(whole);
  for (const std::string& damaged : {std::string("\x44\x89\x24\x67\x02\0\0\0\0\0\0\0", 12),
                                     bytes.substr(0, bytes.size() / 2), bytes.substr(0, 8)}) {
    plat::WriteFileAtomic(broken, damaged);
    Player player({"--serve", broken}, Env());
    EXPECT_EQ(player.FirstLine(), "");
    EXPECT_EQ(player.Wait(), 1);
    const std::string err = player.Stderr();
    EXPECT_TRUE(err.starts_with("Error: Cannot open the content " + broken +
                                ": the package is damaged or incomplete ("))
        << err;
  }

  for (const std::string& not_package : {std::string("hello"), bytes.substr(0, 3)}) {
    const std::string fake = content_ + "course.vrn";
    plat::WriteFileAtomic(fake, not_package);
    Player player({"--serve", fake}, Env());
    const uint16_t port = PortOfUrl(player.FirstLine());
    ASSERT_NE(port, 0);
    EXPECT_NE(Get(port, "/").find("<html>start</html>"), std::string::npos);
    player.Signal(SIGTERM);
    EXPECT_EQ(player.Wait(), 0);
    EXPECT_TRUE(player.Stderr().starts_with(fake + " is not a content package (damaged or not a package): serving the "
                                            "folder " + content_ + " instead.\nVarnel Player - course\n"));
  }
}

TEST_F(ServeMode, NothingFoundNamesEveryPlaceSearchedAndServesNothing) {
  const std::string missing = folder_.path() + "/missing";
  Player player({"--serve", missing}, Env());
  EXPECT_EQ(player.FirstLine(), "");
  EXPECT_EQ(player.Wait(), 1);
  const std::string program_folder = plat::FolderPart(VARNEL_PLAYER_PATH);
  EXPECT_EQ(player.Stderr(), "No content to open. Places searched:\n  " + missing + "\n  " + program_folder +
                                 "Varnel.vrn\nName a content folder or a .vrn package on the command line.\n");
}

TEST_F(ServeMode, HelpOnStandardOutputAndUsageErrorsOnStandardError) {
  for (const char* help : {"--help", "-h"}) {
    Player player({help}, Env());
    EXPECT_EQ(player.Wait(), 0) << help;
    const std::string usage = player.RestOfStdout();
    EXPECT_TRUE(usage.starts_with("Usage: varnel-player [OPTION]... [CONTENT | -1 [PATH]]\n")) << usage;
    for (const char* option : {"\n  --browser ", "\n  --serve ", "\n  -h, --help "})
      EXPECT_NE(usage.find(option), std::string::npos) << option;
    EXPECT_EQ(player.Stderr(), "") << help;
  }
  const std::string try_help = "Try 'varnel-player --help' for more information.\n";
  for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
           {"--bogus"}, {"--version"}, {"-x", content_}, {"--serve", "--browser"}, {"a", "b", "c"}}) {
    Player player(words, Env());
    EXPECT_EQ(player.Wait(), 2) << words[0];
    EXPECT_EQ(player.RestOfStdout(), "") << words[0];
    const std::string err = player.Stderr();
    EXPECT_TRUE(err.starts_with("varnel-player: ") && err.ends_with("\n" + try_help) &&
                std::count(err.begin(), err.end(), '\n') == 2)
        << err;
  }
}

// A skip-start-page package: the login stores the learner's state, and so
// does closing.
TEST_F(ServeMode, ClosingStoresTheRunningSessionInTheStateFile) {
  const std::string package = folder_.path() + "/course.vrn";
  server::PutPackage(package, {{"index.html", "<html>start</html>"},
                               {"projectid.txt", "shell-test"},
                               {"projecttitle.txt", "Knots"},
                               {"skipstartpage.sysdata", ""}});
  const std::string state = home_ + "data/Kelmo Player/shell-test - lastsession.state";

  Player player({"--serve", package}, Env());
  const uint16_t port = PortOfUrl(player.FirstLine());
  ASSERT_NE(port, 0);
  EXPECT_NE(Get(port, "/").find("<html>start</html>"), std::string::npos);
  EXPECT_NE(Get(port, "/?action=login&username=Ann").find("sessionid="), std::string::npos);
  ASSERT_TRUE(plat::FileExists(state));

  // Only closing can bring them back.
  ASSERT_EQ(::unlink(state.c_str()), 0);
  ASSERT_EQ(::unlink((state + ".name").c_str()), 0);
  player.Signal(SIGTERM);
  EXPECT_EQ(player.Wait(), 0);
  EXPECT_TRUE(plat::FileExists(state));
  EXPECT_EQ(plat::ReadWholeFile(state + ".name"), "Ann");
  EXPECT_EQ(player.Stderr(), "Varnel Player - Knots\nSession stored for Ann.\n");
}

// Without a project id there is no state path: closing stores nothing and still ends cleanly.
TEST_F(ServeMode, ClosingWithoutAStatePathStillExitsCleanly) {
  plat::WriteFileAtomic(content_ + "skipstartpage.sysdata", "");
  Player player({"--serve", content_}, Env());
  const uint16_t port = PortOfUrl(player.FirstLine());
  ASSERT_NE(port, 0);
  EXPECT_NE(Get(port, "/?action=login&username=Ann").find("sessionid="), std::string::npos);
  player.Signal(SIGTERM);
  EXPECT_EQ(player.Wait(), 0);
  EXPECT_FALSE(plat::FolderExists(home_ + "data/Kelmo Player"));
  // A folder without a title is named by its folder name.
  EXPECT_EQ(player.Stderr(), "Varnel Player - course\nNo session to store.\n");
}

// The launcher (--browser): with a display, a recording xdg-open first on PATH receives
// the URL as its one argument; when it fails, the URL is printed instead.
TEST_F(ServeMode, WithADisplayTheUrlGoesToXdgOpen) {
  const std::string bin = folder_.path() + "/bin/";
  const std::string record = folder_.path() + "/opened";
  plat::WriteFileAtomic(bin + "xdg-open",
                        "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" + record + ".tmp'\n"
                        "mv '" + record + ".tmp' '" + record + "'\nexit $FAKE_EXIT\n");
  ASSERT_EQ(::chmod((bin + "xdg-open").c_str(), 0755), 0);

  for (const char* exit_status : {"0", "4"}) {
    SCOPED_TRACE(exit_status);
    ::unlink(record.c_str());
    std::map<std::string, std::string> env = Env();
    env["DISPLAY"] = ":99";
    env["PATH"] = bin + ":" + std::getenv("PATH");
    env["FAKE_EXIT"] = exit_status;
    Player player({"--browser", content_}, env);
    plat::testing::Eventually([&] { return plat::FileExists(record); });
    const std::string opened = plat::FileExists(record) ? plat::ReadWholeFile(record) : "";
    ASSERT_TRUE(opened.starts_with("1\nhttp://127.0.0.1:")) << opened;
    const std::string url = opened.substr(2, opened.size() - 3);
    ASSERT_NE(PortOfUrl(url), 0) << url;
    EXPECT_NE(Get(PortOfUrl(url), "/").find("<html>start</html>"), std::string::npos);

    if (std::string(exit_status) == "0") {
      player.Signal(SIGTERM);
      EXPECT_EQ(player.Wait(), 0);
      EXPECT_EQ(player.RestOfStdout(), "");
    } else {
      EXPECT_EQ(player.FirstLine(), url);
      player.Signal(SIGTERM);
      EXPECT_EQ(player.Wait(), 0);
    }
  }
}

TEST_F(ServeMode, WithoutXdgOpenTheUrlIsPrinted) {
  std::map<std::string, std::string> env = Env();
  // No X server answers there: the window cannot open, so the player falls back to the browser.
  env["DISPLAY"] = ":64999";
  env["PATH"] = folder_.path();  // holds no xdg-open
  Player player({content_}, env);
  EXPECT_NE(PortOfUrl(player.FirstLine()), 0);
  player.Signal(SIGTERM);
  EXPECT_EQ(player.Wait(), 0);
  const std::string err = player.Stderr();
  EXPECT_NE(err.find("Cannot open the display: showing the content in the default browser."), std::string::npos);
  EXPECT_NE(err.find("cannot start xdg-open"), std::string::npos);
}

}  // namespace
}  // namespace app
