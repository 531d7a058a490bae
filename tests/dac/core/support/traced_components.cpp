#include "tests/dac/core/support/traced_components.h"

namespace dac::test {

DAC_DEFINE_CLASS(TracedConnection, TComponent, TComponentClassOf<TracedConnection>)
DAC_DEFINE_CLASS(TracedQuery, TComponent, TComponentClassOf<TracedQuery>)

}  // namespace dac::test
