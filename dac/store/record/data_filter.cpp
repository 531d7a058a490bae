// TData: the filter text, its tree, and the check of a record against it.
#include <algorithm>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/data.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/record/filter_code.h"
#include "dac/store/record/filter_expression.h"
#include "dac/store/record/filter_pass.h"
#include "dac/store/runtime/pattern_match.h"
#include "platform/code_page.h"
#include "platform/date_time.h"
#include "platform/locale_compare.h"

namespace dac {

namespace {


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

// The types whose variant is a number that compares as a double with a
// number constant (the filter's numbers are doubles).
bool IsCompiledNumberType(uint16_t type) {
  return FamilyOf(type) == TValueFamily::kInteger || FamilyOf(type) == TValueFamily::kFloat;
}

bool IsComparison(TExpressionType type) { return type <= ntNoEqual || type == ntLike; }

// An 8-bit text field against a text constant or null: the pattern's form,
// and whether the text in place can be matched right in the record.
void CompileTextOp(TFilterOp& op, const Variant& constant, const TFilterCode& code, bool trim) {
  op.kind = TFilterOp::kText;
  op.null_constant = constant.IsNull();
  if (!op.null_constant) op.text = constant.AsString();
  if (code.case_insensitive) op.text = plat::AnsiTextUpper(op.text);
  const size_t wildcard = op.text.find_first_of("*%_");
  if (wildcard == std::string::npos) {
    op.pattern = TFilterOp::kLiteral;
  } else if (wildcard + 1 == op.text.size() && op.text[wildcard] != '_') {
    op.pattern = TFilterOp::kPrefix;
  }
  op.fixed = static_cast<uint32_t>(op.pattern == TFilterOp::kPrefix ? op.text.size() - 1 : op.text.size());
  const TExpressionType type = op.compare;
  op.in_place = op.data_type == dtString && op.pattern != TFilterOp::kWildcards && !trim && !code.case_insensitive &&
                !code.no_partial_compare && (type == ntEqual || type == ntLike || type == ntNoEqual) &&
                op.fixed < op.size && op.text.find('\0') == std::string::npos;
}

}  // namespace

// ---- The text and the tree ----

void TData::SetFilterText(const std::string& value) {
  if (value == filter_text_) return;
  if (active_) CreateFilterExpression(value);
  filter_text_ = value;
}

void TData::CreateFilterExpression(const std::string& text) {
  std::unique_ptr<TFilterTree> tree = ParseFilterExpression(text, field_descs_);
  filter_code_.reset();
  filter_tree_ = std::move(tree);
}

void TData::FreeFilterExpression() {
  filter_code_.reset();
  filter_tree_.reset();
}

TExpressionNode* TData::GetFilterExpression() const { return filter_tree_ ? filter_tree_->Root() : nullptr; }

bool TData::Filtered() const { return filter_func_ || filter_tree_ || filter_md_func_; }

void TData::FilterUpdated() {}

// ---- Evaluation ----

// ---- The compiled tree ----

const TFilterCode& TData::FilterCode() {
  TExpressionNode* root = filter_tree_->Root();
  if (!filter_code_ || filter_code_->root != root || filter_code_->case_insensitive != filter_case_insensitive_ ||
      filter_code_->no_partial_compare != filter_no_partial_compare_ || filter_code_->trim_fixed != trim_fixed_char_ ||
      filter_code_->trim_var != trim_var_char_) {
    auto code = std::make_unique<TFilterCode>();
    code->root = root;
    code->case_insensitive = filter_case_insensitive_;
    code->no_partial_compare = filter_no_partial_compare_;
    code->trim_fixed = trim_fixed_char_;
    code->trim_var = trim_var_char_;
    CompileFilter(*code, root, 0);
    PlanFilterCode(*code);
    filter_code_ = std::move(code);
  }
  return *filter_code_;
}

uint32_t TData::CompileFilter(TFilterCode& code, TExpressionNode* node, int depth) {
  const auto index = static_cast<uint32_t>(code.ops.size());
  code.ops.emplace_back();
  code.ops[index].node = node;
  // Deep trees (the parser allows only so much nesting) stay with the tree.
  if (!node || depth > 2 * kMaxFilterNesting) return index;
  const TExpressionType type = node->NodeType;
  if (type == ntTrue || type == ntFalse) {
    code.ops[index].kind = type == ntTrue ? TFilterOp::kTrue : TFilterOp::kFalse;
    return index;
  }
  if (type == ntNot && node->LeftOperand) {
    const uint32_t operand = CompileFilter(code, node->LeftOperand, depth + 1);
    code.ops[index].kind = TFilterOp::kNot;
    code.ops[index].operands = {operand};
    return index;
  }
  if (type == ntAnd || type == ntOr) {
    // A left-deep chain, operands in the order the tree's evaluation takes them.
    std::vector<TExpressionNode*> rights;
    TExpressionNode* first = node;
    for (; first && first->NodeType == type; first = first->LeftOperand) {
      if (!first->LeftOperand || !first->RightOperand) return index;
      rights.push_back(first->RightOperand);
    }
    std::vector<uint32_t> operands{CompileFilter(code, first, depth + 1)};
    for (size_t i = rights.size(); i-- > 0;) operands.push_back(CompileFilter(code, rights[i], depth + 1));
    code.ops[index].kind = type == ntAnd ? TFilterOp::kAnd : TFilterOp::kOr;
    code.ops[index].operands = std::move(operands);
    return index;
  }
  if (!IsComparison(type) || !node->LeftOperand || !node->RightOperand) return index;
  TExpressionNode* left = node->LeftOperand;
  TExpressionNode* right = node->RightOperand;
  if (left->NodeType != ntField || right->NodeType != ntValue || !left->FieldDesc || left->FieldDesc->HasParent()) {
    return index;
  }
  TFilterOp& op = code.ops[index];
  op.compare = type;
  op.field = left->FieldDesc;
  const uint16_t data_type = op.field->GetDataType();
  op.data_type = data_type;
  op.null_at = static_cast<uint32_t>(data_size_) + op.field->GetFieldNo() - 1;
  op.offset = op.field->GetOffset();
  op.size = op.field->GetSize();
  if (IsCompiledNumberType(data_type) && right->Value.Type() == varDouble) {
    op.kind = TFilterOp::kNumber;
    op.number = right->Value.AsDouble();
  } else if (IsAnsiTextType(data_type) && (right->Value.Type() == varString || right->Value.IsNull())) {
    CompileTextOp(op, right->Value, code, op.field->GetFixed() ? trim_fixed_char_ : trim_var_char_);
  }
  op.select = ChooseSelect(op);
  return index;
}

bool TData::EvalFilterOp(const TFilterCode& code, uint32_t index) {
  const TFilterOp& op = code.ops[index];
  switch (op.kind) {
    case TFilterOp::kTrue: return true;
    case TFilterOp::kFalse: return false;
    case TFilterOp::kNot: return !EvalFilterOp(code, op.operands[0]);
    case TFilterOp::kAnd:
    case TFilterOp::kOr: {
      const bool decisive = op.kind == TFilterOp::kOr;
      for (uint32_t operand : op.operands) {
        const TFilterOp& part = code.ops[operand];
        const auto* rec = static_cast<const uint8_t*>(filter_rec_buf_);
        const bool verdict = part.kind == TFilterOp::kNumber                  ? NumberVerdict(part, rec)
                             : part.kind == TFilterOp::kText && part.in_place ? InPlaceTextVerdict(part, rec)
                                                                              : EvalFilterOp(code, operand);
        if (verdict == decisive) return decisive;
      }
      return !decisive;
    }
    case TFilterOp::kNumber: return EvalNumberOp(op);
    case TFilterOp::kText:
      return op.in_place ? InPlaceTextVerdict(op, static_cast<const uint8_t*>(filter_rec_buf_)) : EvalTextOp(code, op);
    case TFilterOp::kGeneric: break;
  }
  return EvalTree(op.node);
}

bool TData::EvalNumberOp(const TFilterOp& op) { return NumberVerdict(op, static_cast<const uint8_t*>(filter_rec_buf_)); }

bool TData::EvalTextOp(const TFilterCode& code, const TFilterOp& op) {
  return TextVerdict(code, op, static_cast<const uint8_t*>(filter_rec_buf_));
}

const TFilterCode* TData::CompiledFilter() { return filter_tree_ && filter_tree_->Root() ? &FilterCode() : nullptr; }

void TData::PassCompiledFilter(const TFilterCode& code, const uint8_t* const* records, size_t count, uint64_t* bits) {
  std::fill(bits, bits + (count + 63) / 64, 0);
  if (code.by_chunks) {
    // Each op over a chunk of rows in turn: no choice per row, and the
    // records read once from memory (the later ops find them cached).
    for (size_t done = 0; done < count; done += kFilterChunkRows) {
      const auto rows = static_cast<uint32_t>(std::min<size_t>(kFilterChunkRows, count - done));
      PassChunk(code, FilterRows(code, records + done, rows), bits + done / 64);
    }
    return;
  }
  struct Reset {
    void*& rec;
    ~Reset() { rec = nullptr; }
  } reset{filter_rec_buf_};
  // The records may lie anywhere: those ahead are fetched while one is checked.
  for (size_t i = 0; i < count; ++i) {
    __builtin_prefetch(records[i + kFilterAhead]);
    __builtin_prefetch(records[i + kFilterAhead] + 64);
    filter_rec_buf_ = const_cast<uint8_t*>(records[i]);
    bits[i / 64] |= uint64_t{EvalFilterOp(code, 0)} << (i % 64);
  }
}

// ---- Evaluation ----

bool TData::Eval(TExpressionNode* node) {
  DAC_ASSERT(node, "Filter node is nil");
  if (filter_tree_ && node == filter_tree_->Root()) return EvalFilterOp(FilterCode(), 0);
  return EvalTree(node);
}

bool TData::EvalTree(TExpressionNode* node) {
  DAC_ASSERT(node, "Filter node is nil");
  switch (node->NodeType) {
    case ntAnd:
    case ntOr: return EvalChain(node);
    case ntNot: return !EvalTree(node->LeftOperand);
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
  if (EvalTree(first) == decisive) return decisive;
  // A nested chain pushes above these entries and takes its own off again.
  for (size_t i = eval_stack_.size(); i-- > base;) {
    if (EvalTree(eval_stack_[i]) == decisive) return decisive;
  }
  return !decisive;
}

Variant TData::OperandValue(TExpressionNode* node, bool& is_date) {
  is_date = false;
  if (node->NodeType == ntValue) return node->Value;
  if (node->NodeType != ntField) return Variant();
  DAC_ASSERT(filter_rec_buf_, "No filter record");
  is_date = FamilyOf(node->FieldDesc->GetDataType()) == TValueFamily::kDate;
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
