// Filter expressions: a condition on a record set's own fields, such as
//   Price > -5 AND (Name = 'A*' OR Name IS NULL) AND NOT [Sold out] = TRUE
// parsed by recursive descent into a tree of TExpressionNode:
//   OrExpr    := AndExpr { OR AndExpr }            (left-associative)
//   AndExpr   := Condition { AND Condition }
//   Condition := Argument op Argument | Argument IS [NOT] NULL
//              | NOT Condition | TRUE | FALSE | "(" OrExpr ")"
//   op        := = > < >= <= <> LIKE
//   Argument  := name | a.b.c | [name with blanks] | 'text' | "text"
//              | number | -number | +number | NULL | TRUE | FALSE
// TData::Eval checks a record against the tree.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dac/framework/values/variant.h"
#include "dac/store/record/field_desc.h"

namespace dac {

enum TExpressionType : uint8_t {
  ntEqual = 0,
  ntMore = 1,
  ntLess = 2,
  ntMoreEqual = 3,
  ntLessEqual = 4,
  ntNoEqual = 5,
  ntAnd = 6,
  ntOr = 7,
  ntNot = 8,  // LeftOperand only
  ntField = 9,
  ntValue = 10,
  ntTrue = 11,
  ntFalse = 12,
  ntLike = 13,
};

struct TExpressionNode {
  TExpressionNode* NextAlloc = nullptr;  // the node allocated before this one
  TExpressionType NodeType = ntEqual;
  TExpressionNode* LeftOperand = nullptr;
  TExpressionNode* RightOperand = nullptr;
  TFieldDesc* FieldDesc = nullptr;  // of an ntField node
  Variant Value;                    // the constant of ntValue; the field name of ntField
};

// Owns every node of one tree through the allocation chain, newest first.
class TFilterTree {
 public:
  TFilterTree() = default;
  ~TFilterTree();
  TFilterTree(const TFilterTree&) = delete;
  TFilterTree& operator=(const TFilterTree&) = delete;

  TExpressionNode* AllocNode();
  TExpressionNode* Root() const { return root_; }
  void SetRoot(TExpressionNode* root) { root_ = root; }

 private:
  TExpressionNode* last_alloc_ = nullptr;
  TExpressionNode* root_ = nullptr;
};

// Parentheses and NOTs nested deeper than this are refused.
constexpr int kMaxFilterNesting = 256;

// The tree of a filter text whose names are looked up in fields; null for a
// text of blanks only. Exception "Illegal filter expression" for a syntax
// error (also an unknown character, or nesting deeper than
// kMaxFilterNesting), "Field <name> not found" for an unknown name.
std::unique_ptr<TFilterTree> ParseFilterExpression(const std::string& text, const TFieldDescs& fields);

[[noreturn]] void FilterError();

}  // namespace dac
