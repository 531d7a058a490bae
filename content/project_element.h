// The common base of the learner records: questions, users, groups and their lists.
#pragma once

#include <cstdint>

namespace content {

// Element type codes; stored nowhere, asked by callers that hold a base pointer.
enum TProjectElementType : int32_t {
  kQuestionElement = 1,
  kUserElement = 2,
  kQuestionsListElement = 9,
  kUsersListElement = 12,
  kGroupElement = 13,
  kGroupsListElement = 14,
};

class TBaseProjectElement {
 public:
  virtual ~TBaseProjectElement() = default;
  virtual int32_t GetType() const = 0;

 protected:
  TBaseProjectElement() = default;
  TBaseProjectElement(const TBaseProjectElement&) = default;
  TBaseProjectElement& operator=(const TBaseProjectElement&) = default;
};

}  // namespace content
