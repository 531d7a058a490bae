// The Tracedesk trace application as the SQL monitor talks to it: its event
// kinds, the message record and the object's interface.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dac {

enum TEventType : uint8_t {
  etAppStarted,
  etAppFinished,
  etConnect,
  etDisconnect,
  etCommit,
  etRollback,
  etPrepare,
  etUnprepare,
  etExecute,
  etBlob,
  etError,
  etMisc,
};

enum TTracePoint : uint8_t { tpBeforeEvent, tpAfterEvent };

// One statement parameter as text.
struct TSQLParam {
  std::string Name;
  std::string DataType;
  std::string ParamType;
  std::string Value;
};
using TSQLParams = std::vector<TSQLParam>;

struct TMonitorMessage {
  // 0 on a before event; the object assigns it, and the caller hands it back
  // with the after event.
  int32_t MessageID = 0;
  TEventType EventType = etAppStarted;
  TTracePoint TracePoint = tpBeforeEvent;
  uint32_t ComponentID = 0;
  uint32_t ParentID = 0;
  std::string ComponentName;
  std::string ParentName;
  std::string Description;
};

class ITracedesk {
 public:
  virtual ~ITracedesk() = default;
  virtual std::string Version() = 0;
  // The monitor's caption, given at activation.
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void Event(TMonitorMessage& message, const std::optional<std::string>& extra) = 0;
  virtual void SQLEvent(TMonitorMessage& message, const std::string& sql, std::span<const TSQLParam> params,
                        int32_t rows_affected) = 0;
};

// The object's class and interface ids.
inline constexpr const char* Class_Tracedesk = "{9F44A31F-5ECD-4B2C-B42C-FA4A9F6B4D70}";
inline constexpr const char* IID_ITracedesk = "{68EFCF7D-CA73-4EB7-BAEC-BF56D6D13DF4}";

}  // namespace dac
