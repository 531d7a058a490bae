// Finds the content to open at start-up: on the command line, beside the
// program, or on a mounted CD or DVD.
#pragma once

#include <string>
#include <vector>

#include "app/optical_media.h"

namespace app {

// The places start-up looks at besides the command line.
struct TContentPlaces {
  // With a trailing '/'; "" when unknown, and then not searched.
  std::string program_folder;
  std::string mounts_file = kProcessMountsFile;
};

struct TContentLocation {
  // A folder (folder mode) or a package file; "" when nothing was found.
  std::string path;
  // Every place looked at, in order, for the message when nothing was found.
  std::vector<std::string> searched;
};

// The package file's name, looked up without regard to case.
inline constexpr char kContentPackageName[] = "Varnel.vrn";

// Applies the start-up rules to the command line's arguments (at most two):
//  "-1": the folder of the program folder's "Varnel/Varnel.vrn"; with a
//        second argument, the folder of that file, of that folder's
//        "Varnel.vrn", or of the program folder's "<second>/Varnel.vrn"
//        (not for an absolute second argument);
//  an existing folder: that folder;
//  an existing file: a package opens packed, any other file its folder;
//  anything else: the program folder when it holds "Varnel.vrn";
//  nothing: the same, else the last mounted CD or DVD holding "Varnel.vrn".
// Paths found are absolute.
TContentLocation LocateContent(const std::vector<std::string>& arguments, const TContentPlaces& places);

// The text shown when nothing was found: every place searched.
std::string NothingFoundMessage(const TContentLocation& location);

}  // namespace app
