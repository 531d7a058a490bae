#include "dac/core/trace/tracedesk_client.h"

#include "dac/core/server/replaceable_hook.h"
#include "dac/framework/classes/exceptions.h"
#include "platform/files.h"
#include "platform/settings_store.h"

namespace dac {

namespace {

constexpr const char* kApplicationKey = "Software\\Tamrin\\Tracedesk";

TReplaceableHook<TTracedeskCreator>& Creator() {
  static TReplaceableHook<TTracedeskCreator> creator;
  return creator;
}

}  // namespace

TTracedeskCreator SetTracedeskCreator(TTracedeskCreator creator) { return Creator().Exchange(std::move(creator)); }

std::string WhereMonitor() { return plat::ReadSettingString(kApplicationKey, "Self").value_or(""); }

bool HasMonitor() {
  const std::string path = WhereMonitor();
  return !path.empty() && plat::FileExists(path);
}

std::shared_ptr<ITracedesk> GetTracedesk() {
  const std::string key = std::string("Classes\\CLSID\\") + Class_Tracedesk + "\\InprocServer32";
  if (!plat::SettingsKeyExists(key)) {
    if (HasMonitor()) throw Exception("Current Tracedesk version is out of date. Please update.");
    return nullptr;
  }
  const std::string server = plat::ReadSettingString(key, "@").value_or("");
  if (server.empty() || !plat::FileExists(server)) return nullptr;
  const TTracedeskCreator creator = Creator().Get();
  return creator ? creator(Class_Tracedesk, IID_ITracedesk) : nullptr;
}

std::string GetTracedeskVersion() {
  const std::shared_ptr<ITracedesk> tracedesk = GetTracedesk();
  return tracedesk ? tracedesk->Version() : "not available";
}

}  // namespace dac
