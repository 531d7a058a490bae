#include "content/questions_list.h"

#include <utility>

#include "content/file_helpers.h"
#include "content/text_lines.h"
#include "content/xor_file_stream.h"

namespace content {

void TQuestionsList::Clear() {
  questions_.clear();
  modified_ = 0;
}

TQuestion* TQuestionsList::GetQuestion(int i) const {
  return i >= 0 && i < Count() ? questions_[static_cast<size_t>(i)].get() : nullptr;
}

TQuestion* TQuestionsList::AddNew() {
  questions_.push_back(std::make_unique<TQuestion>(this, ""));
  return questions_.back().get();
}

void TQuestionsList::Delete(int i) {
  if (i < 0 || i >= Count()) return;
  questions_.erase(questions_.begin() + i);
}

void TQuestionsList::DeleteMarked(const std::vector<bool>& marked) {
  size_t kept = 0;
  for (size_t i = 0; i < questions_.size(); ++i)
    if (i >= marked.size() || !marked[i]) questions_[kept++] = std::move(questions_[i]);
  questions_.resize(kept);
}

void TQuestionsList::Exchange(int i, int j) {
  if (i < 0 || i >= Count() || j < 0 || j >= Count()) return;
  std::swap(questions_[static_cast<size_t>(i)], questions_[static_cast<size_t>(j)]);
}

void TQuestionsList::LoadFromIndexText(std::string_view text) {
  for (const std::string& row : NonEmptyLines(text)) AddNew()->LoadFromIndexRow(row);
}

bool TQuestionsList::LoadFromFile(const std::string& path) {
  LoadFromIndexText(ReadFileToString(path));
  return true;
}

bool TQuestionsList::LoadFromPackage(std::string_view name, const TXORFileStream& package) {
  if (!package.FileExists(name)) return false;
  LoadFromIndexText(package.ReadToString(name));
  return true;
}

}  // namespace content
