#include "app/serve_mode.h"

#include "platform/event_loop.h"
#include "server/quiz_session.h"

int RunServeMode(const std::string& content_path, std::ostream& out, std::ostream& err) {
  plat::EventLoop loop;
  TQuizSession server(loop, 0);
  if (server.GetPort() == 0) {
    err << "varnel-player: no free port between " << TQuizSession::kFirstScanPort << " and "
        << TQuizSession::kLastScanPort << " on 127.0.0.1\n";
    return 1;
  }
  if (!server.SetPath(content_path)) {
    err << "varnel-player: cannot open the content " << content_path << ": " << server.GetContentError() << "\n";
    return 1;
  }
  if (!server.Open()) {
    err << "varnel-player: cannot listen on port " << server.GetPort() << " of 127.0.0.1\n";
    return 1;
  }
  loop.SetSignalHandler([&](int) {
    server.Close();
    loop.Quit();
  });
  out << "http://127.0.0.1:" << server.GetPort() << "/" << std::endl;
  loop.Run();
  loop.SetSignalHandler(nullptr);
  return 0;
}
