// The hosts the server lookup found, per service keyword. The manager and
// every lookup thread it started share one cache, so a thread that finds a
// host after its caller stopped waiting (or after the manager is gone)
// still adds it safely. Keywords and hosts compare without ASCII case.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/critical_section.h"

namespace dac {

class TServerCache {
 public:
  // Creates the cache and the keyword's list when needed.
  void Add(const std::string& keyword, const std::string& host);
  // The keyword's hosts in order (none when it has no list); nullopt while
  // the cache does not exist.
  std::optional<std::vector<std::string>> Lookup(const std::string& keyword) const;
  // Drops every list and the cache itself.
  void Clear();

 private:
  struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  using HostSet = std::set<std::string, NoCaseLess>;

  mutable plat::CriticalSection lock_;
  std::optional<std::map<std::string, HostSet, NoCaseLess>> hosts_;
};

}  // namespace dac
