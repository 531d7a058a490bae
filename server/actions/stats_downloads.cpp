// The statistics downloads: the CSV texts and the graphs the pages left.
#include <string>
#include <string_view>

#include "server/http/http_reply.h"
#include "server/http/method_log.h"
#include "server/quiz_session.h"
#include "server/stats/stats_csv.h"

namespace server {

bool TQuizSession::SendCSV(TNetStream* channel, std::string_view text, std::string_view file_name) {
  TMethodLog log("SendCSV");
  if (channel == nullptr) return true;
  // One piece: a connection that fails cuts the reply short, nothing more.
  channel->WriteString(AttachmentReplyHeader("text/csv", file_name, static_cast<int64_t>(text.size())) +
                       std::string(text));
  channel->Close();
  return true;
}

bool TQuizSession::SendJPEG(TNetStream* channel, std::string_view image) {
  TMethodLog log("SendJPEG");
  if (channel == nullptr) return true;
  channel->WriteString(BodyReply("image/jpeg", image));
  channel->Close();
  return true;
}

bool TQuizSession::AdminStatsGetGroupCSV(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminStatsGetGroupCSV");
  if (!CheckAdminSession(channel, map)) return true;
  return SendCSV(channel, CsvText(stats_.group_csv), kGroupCsvName);
}

bool TQuizSession::AdminStatsGetEmployeeCSV(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminStatsGetEmployeeCSV");
  if (!CheckAdminSession(channel, map)) return true;
  return SendCSV(channel, CsvText(stats_.employee_csv), kEmployeeCsvName);
}

bool TQuizSession::AdminStatsGetModulesCSV(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminStatsGetModulesCSV");
  if (!CheckAdminSession(channel, map)) return true;
  return SendCSV(channel, CsvText(stats_.modules_csv), kModulesCsvName);
}

bool TQuizSession::SendStatsGraph(TNetStream* channel, const content::TRequestMap& map,
                                  const std::optional<std::string>& graph) {
  // An administrator whose page has drawn no graph is answered as a stranger.
  if (!IsAdminOK(map.GetValue("sessionid")) || !graph) {
    ReturnXML(channel, kAdminNotLoggedIn);
    return true;
  }
  return SendJPEG(channel, *graph);
}

bool TQuizSession::AdminStatsGetIndexGraph(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminStatsGetIndexGraph");
  return SendStatsGraph(channel, map, stats_.index_graph);
}

bool TQuizSession::AdminStatsGetModulesGraph(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminStatsGetModulesGraph");
  return SendStatsGraph(channel, map, stats_.modules_graph);
}

bool TQuizSession::AdminStatsGetEmployeeGraph(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminStatsGetEmployeeGraph");
  return SendStatsGraph(channel, map, stats_.employee_graph);
}

bool TQuizSession::AdminStatsGetEmployeeGraph2(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminStatsGetEmployeeGraph2");
  return SendStatsGraph(channel, map, stats_.employee_graph2);
}

}  // namespace server
