// Names of files below a folder. Paths use '/' inside the program; a '\' in a
// stored or requested name is a separator too. Names are found without regard
// to ASCII case, as the content's authors expect from Windows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plat {

// The name with every '\' turned into '/'.
std::string ToForwardSlashes(std::string_view name);

// Looks `relative` up below `folder`, one component at a time: the exact name
// when it exists, else the entry equal to it under ASCII case folding (of
// several, the first in byte order). '/' and '\' separate components; empty
// and "." components are skipped. Gives folder (with a trailing '/', unless
// empty) + the names as they stand on disk, or nullopt when a component is
// missing, a non-final component is not a folder, or the name holds NUL or a
// ".." component. Links are followed but not confined: content reads go
// through ResolveUnder.
std::optional<std::string> FindCaseInsensitive(const std::string& folder, std::string_view relative);

// Whether ResolveUnder accepts a final component that does not exist yet.
enum class MissingLast {
  kRefuse,  // the whole name must exist: for reading
  kAllow,   // every folder must exist, the last name may be new: for creating a file
};

// The one resolver that confines a requested name to the folder `root`.
// The name is always taken below root: empty components (leading or doubled
// separators) are skipped, so "//x.html" is root's "x.html"; callers that must
// refuse absolute names check for them first. Refused (nullopt): NUL in root
// or name, a ".." component, a drive prefix ("C:" in the first component), a
// root that is not a folder, a missing name (see MissingLast), and any result
// whose real path (links resolved) lies outside root's real path. Components
// are found as by FindCaseInsensitive. An empty name gives root itself.
//
// Gives the real path: absolute, links resolved. With kAllow and a missing
// last component that is the real path of its folder + '/' + the last
// component as requested; a final component that is a dangling link is
// refused, since creating the file would follow it.
std::optional<std::string> ResolveUnder(const std::string& root, std::string_view name,
                                        MissingLast missing_last = MissingLast::kRefuse);

}  // namespace plat
