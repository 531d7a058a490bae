#include "dac/core/login/server_cache.h"

#include "platform/ascii.h"

namespace dac {

bool TServerCache::NoCaseLess::operator()(const std::string& a, const std::string& b) const {
  return plat::CompareText(a, b) < 0;
}

void TServerCache::Add(const std::string& keyword, const std::string& host) {
  plat::CriticalSectionGuard guard(lock_);
  if (!hosts_) hosts_.emplace();
  (*hosts_)[keyword].insert(host);
}

std::optional<std::vector<std::string>> TServerCache::Lookup(const std::string& keyword) const {
  plat::CriticalSectionGuard guard(lock_);
  if (!hosts_) return std::nullopt;
  const auto found = hosts_->find(keyword);
  if (found == hosts_->end()) return std::vector<std::string>();
  return std::vector<std::string>(found->second.begin(), found->second.end());
}

void TServerCache::Clear() {
  plat::CriticalSectionGuard guard(lock_);
  hosts_.reset();
}

}  // namespace dac
