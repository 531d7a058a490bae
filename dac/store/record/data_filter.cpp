// TData: the filter text, its tree, and the check of a record against it.
#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/data.h"
#include "dac/store/record/filter_expression.h"
#include "dac/store/runtime/pattern_match.h"
#include "platform/code_page.h"
#include "platform/date_time.h"
#include "platform/locale_compare.h"

namespace dac {

namespace {

bool IsDateType(uint16_t type) { return type == dtDate || type == dtTime || type == dtDateTime; }

// A value that orders on the time line.
bool IsChronological(const Variant& value) { return value.Type() == varDate || value.IsNumeric(); }

// A text compared with a date field is read as a date: EConvertError when it is none.
Variant AsDateOperand(const Variant& value) {
  return value.IsString() ? Variant::FromDateTime(value.AsDateTime()) : value;
}

Variant UpperCased(const Variant& value) {
  if (value.Type() == varString) return Variant(plat::AnsiTextUpper(value.AsString()));
  if (value.Type() == varOleStr) return Variant(plat::WideUpperCase(value.AsWideString()));
  return value;
}

// The left text against the right as a pattern; wide when either side is.
bool MatchesPattern(const Variant& text, const Variant& pattern) {
  if (text.Type() == varOleStr || pattern.Type() == varOleStr) {
    return MatchPattern(text.AsWideString(), VarToWideStr(pattern));
  }
  return MatchPattern(text.AsString(), VarToStr(pattern));
}

}  // namespace

// ---- The text and the tree ----

void TData::SetFilterText(const std::string& value) {
  if (value == filter_text_) return;
  if (active_) CreateFilterExpression(value);
  filter_text_ = value;
}

void TData::CreateFilterExpression(const std::string& text) {
  filter_tree_ = ParseFilterExpression(text, field_descs_);
}

void TData::FreeFilterExpression() { filter_tree_.reset(); }

TExpressionNode* TData::GetFilterExpression() const { return filter_tree_ ? filter_tree_->Root() : nullptr; }

bool TData::Filtered() const { return filter_func_ || filter_tree_ || filter_md_func_; }

void TData::FilterUpdated() {}

// ---- Evaluation ----

bool TData::Eval(TExpressionNode* node) {
  DAC_ASSERT(node, "Filter node is nil");
  switch (node->NodeType) {
    case ntAnd:
    case ntOr: return EvalChain(node);
    case ntNot: return !Eval(node->LeftOperand);
    case ntTrue: return true;
    case ntFalse: return false;
    case ntField:
    case ntValue: AssertionFailed("Filter operand as a condition", __FILE__, __LINE__);
    default: return EvalComparison(node);
  }
}

bool TData::EvalChain(TExpressionNode* node) {
  // "a OR b OR c" is a left-deep chain: its operands are gathered from the
  // right and checked from the left, so a long chain costs no stack.
  const TExpressionType type = node->NodeType;
  const bool decisive = type == ntOr;  // the verdict that ends the chain
  const size_t base = eval_stack_.size();
  struct Restore {
    std::vector<TExpressionNode*>& stack;
    size_t size;
    ~Restore() { stack.resize(size); }
  } restore{eval_stack_, base};

  TExpressionNode* first = node;
  for (; first->NodeType == type; first = first->LeftOperand) {
    DAC_ASSERT(first->LeftOperand && first->RightOperand, "Filter operator without an operand");
    eval_stack_.push_back(first->RightOperand);
  }
  if (Eval(first) == decisive) return decisive;
  // A nested chain pushes above these entries and takes its own off again.
  for (size_t i = eval_stack_.size(); i-- > base;) {
    if (Eval(eval_stack_[i]) == decisive) return decisive;
  }
  return !decisive;
}

Variant TData::OperandValue(TExpressionNode* node, bool& is_date) {
  is_date = false;
  if (node->NodeType == ntValue) return node->Value;
  if (node->NodeType != ntField) return Variant();
  DAC_ASSERT(filter_rec_buf_, "No filter record");
  is_date = IsDateType(node->FieldDesc->GetDataType());
  Variant value;
  GetFieldAsVariant(node->FieldDesc->GetFieldNo(), filter_rec_buf_, value);
  return value;
}

bool TData::FilterEqual(const Variant& left, const Variant& right, bool dates) const {
  // A null right side reads as the empty text, which only the empty text matches.
  if (!filter_no_partial_compare_ && left.IsString()) return MatchesPattern(left, right);
  if (dates && IsChronological(left) && IsChronological(right)) {
    return plat::CompareDateTime(left.AsDateTime(), right.AsDateTime()) == 0;
  }
  return left == right;
}

bool TData::EvalComparison(TExpressionNode* node) {
  DAC_ASSERT(node->LeftOperand && node->RightOperand, "Filter comparison without an operand");
  bool left_date = false;
  bool right_date = false;
  Variant left = OperandValue(node->LeftOperand, left_date);
  Variant right = OperandValue(node->RightOperand, right_date);
  if (left_date) right = AsDateOperand(right);
  if (right_date) left = AsDateOperand(left);
  if (filter_case_insensitive_) {
    left = UpperCased(left);
    right = UpperCased(right);
  }
  const bool dates = left_date || right_date;

  switch (node->NodeType) {
    case ntEqual:
    case ntLike: return FilterEqual(left, right, dates);
    case ntNoEqual: return !FilterEqual(left, right, dates);
    default: break;
  }
  if (left.IsNull() || right.IsNull()) return false;
  const int order = dates && IsChronological(left) && IsChronological(right)
                        ? plat::CompareDateTime(left.AsDateTime(), right.AsDateTime())
                        : VarCompare(left, right);
  switch (node->NodeType) {
    case ntMore: return order > 0;
    case ntLess: return order < 0;
    case ntMoreEqual: return order >= 0;
    case ntLessEqual: return order <= 0;
    default: AssertionFailed("Unknown filter node type", __FILE__, __LINE__);
  }
}

}  // namespace dac
