#include "dac/mysql/provider/my_field_desc.h"

namespace dac {

DAC_DEFINE_CLASS(TMySQLFieldDesc, TDKFieldDesc, ::dac::TMetaClassOf<TMySQLFieldDesc>)

}  // namespace dac
