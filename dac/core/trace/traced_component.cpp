#include "dac/core/trace/traced_component.h"

#include "dac/framework/classes/component.h"

namespace dac {

ITracedComponent* TracedComponentOf(const TComponent* component) {
  return dynamic_cast<ITracedComponent*>(const_cast<TComponent*>(component));
}

}  // namespace dac
