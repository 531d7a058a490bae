#include "platform/format_settings.h"

namespace plat {

FormatSettings& ProcessFormatSettings() {
  static FormatSettings settings;
  return settings;
}

}  // namespace plat
