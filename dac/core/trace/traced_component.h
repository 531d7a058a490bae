// What the SQL monitor reads of the components that report to it. A
// component implements this beside its TComponent base; the monitor finds
// it by a cross cast. (The connection's log-in: connection_credentials.h.)
#pragma once

#include <cstdint>

namespace dac {

class TComponent;

// An SQL command component or a dataset: the statements it runs are traced.
class ITracedComponent {
 public:
  // The connection component the statements run on, or null.
  virtual TComponent* GetTraceParent() const = 0;
  // The component asks to be shown in the debug output.
  virtual bool GetTraceDebug() const = 0;
  // Rows the last statement touched.
  virtual int32_t GetTraceRowsAffected() const = 0;

 protected:
  ~ITracedComponent() = default;
};

// The interface of a component, or null when it has none.
ITracedComponent* TracedComponentOf(const TComponent* component);

}  // namespace dac
