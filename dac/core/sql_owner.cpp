#include "dac/core/sql_owner.h"

#include "dac/framework/classes/meta_class.h"

namespace dac {

IDASQLOwner* SQLOwnerOf(const TObject* object) {
  return dynamic_cast<IDASQLOwner*>(const_cast<TObject*>(object));
}

}  // namespace dac
