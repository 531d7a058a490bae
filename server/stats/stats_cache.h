// What the statistics pages leave behind for their downloads: each page
// request replaces its own CSV text and graphs, and only those. The
// download requests send them as they stand.
#pragma once

#include <optional>
#include <string>

#include "content/text_lists.h"
#include "server/quiz/answers_reading.h"

namespace server {

struct TStatsCache {
  // The CSV texts' lines ("adminstatsindex", "adminstatsemployee", "adminstatsmodules").
  content::TStringList group_csv;
  content::TStringList employee_csv;
  content::TStringList modules_csv;
  // JPEG images; none before their page drew one, or after it dropped it.
  std::optional<std::string> index_graph;
  std::optional<std::string> modules_graph;
  std::optional<std::string> employee_graph;
  std::optional<std::string> employee_graph2;
  // The answers files as last read, so a page parses only those that changed.
  TAnswersCache answers;
};

}  // namespace server
