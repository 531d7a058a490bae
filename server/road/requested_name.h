// File names that a request names by parameter ("filename" of getfile,
// getscript and print_script).
//
// Such a name must be a plain relative name of the content: the content road
// (TContentResolver) confines what it reaches, but in packed mode it looks
// entries up by the last part alone, and in folder mode it also accepts
// names that begin with the content folder. A request gets neither: it
// names a file of the content as the content's pages do.
#pragma once

#include <string_view>

namespace server {

// False for an empty name, a NUL, a name beginning with '/' or '\', a drive
// prefix ("C:"), and any ".." component ('/' and '\' both separate).
bool IsRequestedContentName(std::string_view name);

}  // namespace server
