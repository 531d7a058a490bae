#include "dac/store/record/filter_expression.h"

#include <algorithm>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/store/lexer/bool_parser.h"

namespace dac {

void FilterError() { throw Exception("Illegal filter expression"); }

TFilterTree::~TFilterTree() {
  while (last_alloc_) delete std::exchange(last_alloc_, last_alloc_->NextAlloc);
}

TExpressionNode* TFilterTree::AllocNode() {
  auto* node = new TExpressionNode();
  node->NextAlloc = last_alloc_;
  last_alloc_ = node;
  return node;
}

namespace {

bool IsBlankText(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

// The text of a string literal: each doubled apostrophe stands for one.
std::string Dequote(const std::string& lexem) {
  std::string text;
  text.reserve(lexem.size());
  for (size_t i = 0; i < lexem.size(); ++i) {
    text.push_back(lexem[i]);
    if (lexem[i] == '\'' && i + 1 < lexem.size() && lexem[i + 1] == '\'') ++i;
  }
  return text;
}

class FilterParser {
 public:
  FilterParser(const std::string& text, const TFieldDescs& fields, TFilterTree& tree)
      : parser_(MakeParser<TBoolParser>(text)), fields_(fields), tree_(tree) {}

  TExpressionNode* Parse() {
    Next();
    TExpressionNode* root = OrExpr();
    if (code_ != LexemEnd) FilterError();
    return root;
  }

 private:
  // The lexer's own failures (an unknown character) are syntax errors of the filter.
  void Next() {
    try {
      code_ = parser_->GetNext(lexem_);
    } catch (const Exception&) {
      FilterError();
    }
  }

  TExpressionNode* Node(TExpressionType type) {
    TExpressionNode* node = tree_.AllocNode();
    node->NodeType = type;
    return node;
  }

  // A left-associative run of one operator. Only nesting recurses, so a
  // long run costs no stack.
  TExpressionNode* Chain(int code, TExpressionType type, TExpressionNode* (FilterParser::*operand)()) {
    TExpressionNode* left = (this->*operand)();
    while (code_ == code) {
      Next();
      TExpressionNode* node = Node(type);
      node->LeftOperand = left;
      node->RightOperand = (this->*operand)();
      left = node;
    }
    return left;
  }

  TExpressionNode* OrExpr() { return Chain(flOr, ntOr, &FilterParser::AndExpr); }
  TExpressionNode* AndExpr() { return Chain(flAnd, ntAnd, &FilterParser::Condition); }

  void Enter() {
    if (++depth_ > kMaxFilterNesting) FilterError();
  }

  TExpressionNode* Condition() {
    switch (code_) {
      case LexemIdent:
      case LexemNumber:
      case LexemString:
      case flMinus:
      case flPlus:
      case flLeftBracket:
      case flRightBracket: return Comparison();
      case flNot: {
        Enter();
        Next();
        TExpressionNode* node = Node(ntNot);
        node->LeftOperand = Condition();
        --depth_;
        return node;
      }
      case flTrue:
      case flFalse: {
        TExpressionNode* node = Node(code_ == flTrue ? ntTrue : ntFalse);
        Next();
        return node;
      }
      case flOpen: {
        Enter();
        Next();
        TExpressionNode* node = OrExpr();
        if (code_ != flClose) FilterError();
        Next();
        --depth_;
        return node;
      }
      default: FilterError();
    }
  }

  TExpressionNode* Comparison() {
    TExpressionNode* node = Node(ntEqual);
    node->LeftOperand = Argument();
    switch (code_) {
      case flEqual:
      case flIs: node->NodeType = ntEqual; break;
      case flMore: node->NodeType = ntMore; break;
      case flLess: node->NodeType = ntLess; break;
      case flMoreEqual: node->NodeType = ntMoreEqual; break;
      case flLessEqual: node->NodeType = ntLessEqual; break;
      case flNoEqual: node->NodeType = ntNoEqual; break;
      case flLike: node->NodeType = ntLike; break;
      default: FilterError();
    }
    const bool is = code_ == flIs;
    Next();
    if (is) {
      if (code_ == flNot) {
        Next();
        node->NodeType = ntNoEqual;
      }
      if (code_ != flNull) FilterError();
    }
    node->RightOperand = Argument();
    return node;
  }

  // Every branch ends on the lexeme after the argument.
  TExpressionNode* Argument() {
    TExpressionNode* node = Node(ntValue);
    switch (code_) {
      case flLeftBracket: {
        // Blanks belong to a bracketed name.
        parser_->SetOmitBlank(false);
        std::string name;
        for (Next(); code_ != flRightBracket && code_ != LexemEnd; Next()) name += lexem_;
        parser_->SetOmitBlank(true);
        SetField(node, name);
        Next();
        break;
      }
      case LexemIdent: {
        std::string name = lexem_;
        Next();
        while (code_ == LexemSymbol && lexem_ == ".") {
          Next();
          if (code_ != LexemIdent) FilterError();
          name += "." + lexem_;
          Next();
        }
        SetField(node, name);
        break;
      }
      case LexemString:
        node->Value = Variant(Dequote(lexem_));
        Next();
        break;
      case LexemNumber:
        node->Value = Variant(StrToFloat(lexem_));
        Next();
        break;
      case flMinus:
      case flPlus: {
        const std::string sign = lexem_;
        Next();
        if (code_ != LexemNumber) FilterError();
        node->Value = Variant(StrToFloat(sign + lexem_));
        Next();
        break;
      }
      case flNull:
        node->Value = Variant::Null();
        Next();
        break;
      case flTrue:
      case flFalse:
        node->Value = Variant(code_ == flTrue);
        Next();
        break;
      default: FilterError();
    }
    return node;
  }

  void SetField(TExpressionNode* node, const std::string& name) {
    node->NodeType = ntField;
    node->FieldDesc = fields_.FieldByName(name);
    node->Value = Variant(name);
  }

  std::unique_ptr<TBoolParser> parser_;
  const TFieldDescs& fields_;
  TFilterTree& tree_;
  int code_ = LexemEnd;
  std::string lexem_;
  int depth_ = 0;
};

}  // namespace

std::unique_ptr<TFilterTree> ParseFilterExpression(const std::string& text, const TFieldDescs& fields) {
  if (IsBlankText(text)) return nullptr;
  auto tree = std::make_unique<TFilterTree>();
  tree->SetRoot(FilterParser(text, fields, *tree).Parse());
  return tree;
}

}  // namespace dac
