// The one road from a name that a request supplies to the bytes of a content
// file. Every file the server serves or reads for a handler by a requested
// name goes through it:
//  - folder mode: the name is taken below the content folder, without regard
//    to case, never leaving it (no "..", no absolute escape, no link out);
//  - packed mode: package entries only, never a disk file;
//  - in both modes the learner data that may lie beside the content (session
//    folders, administrator settings, user and group tables, the time stamp
//    and the package identity beside it)
//    is refused, whatever the case of its name;
//  - folder mode: a data folder that lies inside the content folder is
//    refused whole, whatever names its files have.
// The server's own reads of those files go by their own paths, not through here.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "content/xor_file_stream.h"
#include "platform/confined_folder.h"
#include "server/road/content_file.h"
#include "server/road/entry_cache.h"

namespace server {

class TContentResolver {
 public:
  enum class Mode { kNone, kFolder, kPacked };

  TContentResolver();
  ~TContentResolver();
  TContentResolver(const TContentResolver&) = delete;
  TContentResolver& operator=(const TContentResolver&) = delete;

  // No content: nothing resolves. Frees the package reader; files already
  // open stay readable.
  void Clear();
  // Folder mode below folder, which is resolved and held open now: a folder
  // that cannot be opened resolves nothing.
  void SetFolder(const std::string& folder);
  // Packed mode over the package.
  void SetPackage(std::unique_ptr<content::TXORFileStream> package);
  // Where the learner data of the open content lies. Folder mode refuses
  // every file at or below it when it lies inside the content folder; the
  // content folder itself keeps only the name checks. Cleared with the content.
  void SetDataFolder(const std::string& folder);

  Mode GetMode() const { return mode_; }
  bool IsPacked() const { return mode_ == Mode::kPacked; }
  // Folder mode: the content folder as given; "" otherwise.
  const std::string& GetFolder() const { return folder_; }
  // Packed mode: the package reader; null otherwise.
  const content::TXORFileStream* GetPackage() const { return package_.get(); }

  // A file request: folder mode as Open; packed mode needs an entry named by
  // the whole name (entries have no folders). Null when refused or absent.
  std::unique_ptr<TContentFile> OpenRequested(std::string_view name) const;
  bool RequestedFileExists(std::string_view name) const { return OpenRequested(name) != nullptr; }
  // Opens a file as handlers name it: folder mode below the content folder
  // (a name may also begin with the folder as given to SetFolder), packed
  // mode the entry named by the name's last part. Null when refused or absent.
  std::unique_ptr<TContentFile> Open(std::string_view name) const;

  // Whether a name reaches learner data: a "Sessions" component, or a last
  // component "admin.sysdata", "TimeStamp.txt", "PackageIdentity.txt",
  // "*.users.csv" or "*.groups.csv", all without regard to case; '/' and '\'
  // both separate.
  static bool IsLearnerDataName(std::string_view name);

 private:
  std::unique_ptr<TContentFile> OpenInFolder(std::string_view name) const;
  // Packed mode: the entry of that name, from the cache where it can.
  std::unique_ptr<TContentFile> OpenEntry(std::string_view entry_name) const;
  // Whether a file at real_name below the content folder lies in a data
  // folder strictly inside it.
  bool IsInsideDataFolder(const std::string& real_name) const;

  Mode mode_ = Mode::kNone;
  std::string folder_;
  plat::ConfinedFolder root_;
  std::string data_folder_;
  // The data folder's real place below the content folder ("" when it is not
  // strictly inside), found once the data folder exists.
  mutable std::optional<std::string> data_below_;
  std::unique_ptr<content::TXORFileStream> package_;
  mutable TEntryCache entries_;
};

}  // namespace server
