// Folder names for learners' data, derived from their login names.
#pragma once

#include <string>
#include <string_view>

namespace content {

// Lower-cases the name and turns every character but the last that is not a
// letter, digit, '_' or blank into '_' (the folders already stored follow this
// rule). The result is always one usable folder name: "" and "." become "_",
// and a last character that is a separator or a control byte becomes '_'.
std::string MakeSafeName(std::string_view name);

}  // namespace content
