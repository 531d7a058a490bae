// The questions of one subject, loaded from its question index and then drawn
// and shuffled into a test.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "content/project_element.h"
#include "content/question.h"

namespace content {

class TXORFileStream;

class TQuestionsList : public TBaseProjectElement {
 public:
  explicit TQuestionsList(int32_t owner_value = 0) : owner_value_(owner_value) {}
  TQuestionsList(const TQuestionsList&) = delete;
  TQuestionsList& operator=(const TQuestionsList&) = delete;

  int32_t GetType() const override { return kQuestionsListElement; }

  // Deletes every question.
  void Clear();
  int Count() const { return static_cast<int>(questions_.size()); }
  // Null outside the list.
  TQuestion* GetQuestion(int i) const;
  // A new empty question owned by this list, appended.
  TQuestion* AddNew();
  // Deletes the question at i; nothing outside the list.
  void Delete(int i);
  // Deletes every question whose place is marked; the others keep their order.
  void DeleteMarked(const std::vector<bool>& marked);
  // Swaps two questions; nothing when either position lies outside the list.
  void Exchange(int i, int j);

  bool GetModified() const { return modified_ != 0; }
  void SetModified(bool modified) { modified_ = modified ? 1 : 0; }
  int32_t GetOwnerValue() const { return owner_value_; }

  // Appends one question per non-empty line of the index file at path, in
  // file order. Throws plat::FileError when the file cannot be read.
  bool LoadFromFile(const std::string& path);
  // The same for a package entry, its text taken up to its first NUL byte;
  // false when the package has no such entry.
  bool LoadFromPackage(std::string_view name, const TXORFileStream& package);
  // The same for index text already read.
  void LoadFromIndexText(std::string_view text);

 private:
  int32_t modified_ = 0;
  std::vector<std::unique_ptr<TQuestion>> questions_;
  int32_t owner_value_;
};

}  // namespace content
