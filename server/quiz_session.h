// The player's own HTTP/1.0 server. The browser reaches it at
// http://127.0.0.1:<port>/; it serves the content's files and answers the
// content's "?action=" requests, one request per connection, every reply
// closing its connection.
//
// Everything runs on one event loop. Nothing waits inside a handler: a file
// reply is queued on its connection and streamed as the client takes it.
//
// Handlers (the action dispatch and what it calls) are members of this class
// and have the form  bool Handler(TNetStream* channel, TRequestMap& map);
// they reply through exactly one of ReturnXML, ReturnHTML or SendFile (each
// closes the channel) and read content files with LoadFileToString, or for
// the server's own files through GetPackageReader().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "content/xor_file_stream.h"
#include "platform/event_loop.h"
#include "platform/tcp_listener.h"
#include "platform/window_timers.h"
#include "server/action_table.h"
#include "server/connection_table.h"
#include "server/content_resolver.h"
#include "server/net_stream.h"

class TQuizSession {
 public:
  // The port scan: the first port of this range that opens, skipping the
  // ports browsers refuse to connect to.
  static constexpr uint16_t kFirstScanPort = 1000;
  static constexpr uint16_t kLastScanPort = 9999;
  static constexpr uint32_t kSweepIntervalMs = 5000;

  // Port 0 scans for a free port and listens on it at once (GetPort stays 0
  // when none opens); any other port is only remembered until Open. Seeds the
  // process's pseudo-random generator from the clock. The loop must outlive
  // the server.
  TQuizSession(plat::EventLoop& loop, uint16_t port, const TServerLimits& limits = {});
  // Closes the listener and every connection.
  ~TQuizSession();
  TQuizSession(const TQuizSession&) = delete;
  TQuizSession& operator=(const TQuizSession&) = delete;

  // Listens on the port (already listening: nothing changes). False when it
  // cannot, or when there is no port.
  bool Open();
  // Stops listening; every connection closes, replies in flight included.
  void Close();

  // Selects the content: a package gives packed mode; an existing file its
  // folder, and a folder folder mode. Frees the package reader and closes the
  // listener first (Open listens again). A path that is neither changes
  // nothing else. False when the path did not open (see GetContentError).
  bool SetPath(const std::string& path);

  // Answers one complete request; false means the caller sends the error page.
  bool ProcessHttpRequest(TNetStream* channel, std::string_view request);
  // A query request (the text after '?'): splits it at '&' and '=', decodes
  // every token, and calls the handler that the action names. False (the
  // error page) when the action is missing, unknown or not built, or when its
  // handler fails before replying; a handler failing after its reply began
  // gets its connection closed.
  bool ProcessRequest(TNetStream* channel, std::string_view query);
  // The handlers, by action name. Handlers are registered at construction;
  // tests may replace them.
  TActionTable& GetActionTable() { return actions_; }
  // Sends a content file with its header and closes the channel. The name is
  // taken as the content road takes it (TContentResolver::Open). False when
  // its type is not served or it cannot be opened; nothing is sent then.
  bool SendFile(TNetStream* channel, std::string_view path);
  // A content file's text, each block of it up to its first NUL; "" when it
  // cannot be opened.
  std::string LoadFileToString(std::string_view path);
  // The error page; the caller closes the channel.
  void ReturnHttpError(TNetStream* channel, std::string_view message);
  // An XML reply; closes the channel. A null channel sends nothing.
  void ReturnXML(TNetStream* channel, std::string_view body);
  // An HTML reply, percent-encoded unless raw; closes the channel.
  void ReturnHTML(TNetStream* channel, std::string_view html, bool raw);

  uint16_t GetPort() const { return port_; }
  bool IsListening() const { return listener_.IsListening(); }
  size_t GetConnectionCount() const { return connections_.Count(); }

  bool GetPackedMode() const { return content_.IsPacked(); }
  // Folder mode: the content folder with a trailing '/'; packed mode: the
  // package's path; "" before any content opened.
  const std::string& GetContentFolder() const { return content_folder_; }
  // Why the last SetPath did not open its path.
  const std::string& GetContentError() const { return content_error_; }
  // The open package, null in folder mode.
  const TXORFileStream* GetPackageReader() const { return content_.GetPackage(); }
  const TContentResolver& GetContent() const { return content_; }

  // The learner chose to restore the previous skip-start-page session: the
  // start-up code sets these before SetPath and Open; "logout" clears the flag.
  bool GetRestoreFlag() const { return restore_flag_; }
  void SetRestoreFlag(bool restore) { restore_flag_ = restore; }
  const std::string& GetRestoredUserName() const { return restored_user_name_; }
  void SetRestoredUserName(std::string name) { restored_user_name_ = std::move(name); }
  const std::string& GetStateFilePath() const { return state_file_path_; }
  void SetStateFilePath(std::string path) { state_file_path_ = std::move(path); }

  // Handlers.
  // "logout": clears the restore flag and answers with the content's start page.
  bool Logout(TNetStream* channel, TRequestMap& map);

 private:
  void OnClientConnect(const std::shared_ptr<plat::TcpConnection>& connection);
  void OnClientDisconnect(plat::TcpConnection& connection);
  void OnClientRead(plat::TcpConnection& connection, size_t bytes_waiting);
  void OnSocketErrorEvent(plat::TcpConnection& connection, std::error_code error);
  void OnSweepTimer();
  void OnIdleCheckTimer();
  void AnswerRequest(plat::TcpConnection& connection);
  // Puts every built handler into the action table.
  void RegisterActions();

  plat::EventLoop& loop_;
  TServerLimits limits_;
  // The session list and its sweep, and the users and groups tables, the
  // administrator session and the caches of the later handlers go here.
  plat::WindowTimers timers_;
  // The content road; it owns the package reader (packed mode).
  TContentResolver content_;
  // Set only by hosts that serve without a socket: Open and Close leave the listener alone.
  bool no_socket_ = false;
  std::string content_folder_;
  std::string content_error_;
  TActionTable actions_;
  bool restore_flag_ = false;
  std::string restored_user_name_;
  std::string state_file_path_;
  TConnectionTable connections_;
  // Last: destroyed first, while everything its connections call still exists.
  plat::TcpListener listener_;
  uint16_t port_ = 0;
};
