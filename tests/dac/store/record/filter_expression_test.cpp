// Filter texts: how they parse, how records of every scalar kind are checked
// against them, the wildcard matcher against a reference, and hostile texts.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/store/record/filter_expression.h"
#include "dac/store/runtime/pattern_match.h"
#include "platform/code_page.h"
#include "tests/dac/framework/settings_guard.h"
#include "tests/dac/store/scalar_records.h"
#include "tests/dac/store/test_record_set.h"

namespace dac {
namespace {

using testing::Column;
using testing::TTestData;

// Binary nodes in parentheses, so the tree's shape shows.
std::string Render(const TExpressionNode* node) {
  static const char* const kOps[] = {"=", ">", "<", ">=", "<=", "<>", "AND", "OR", "", "", "", "", "", "LIKE"};
  const Variant& v = node->Value;
  switch (node->NodeType) {
    case ntNot: return "NOT " + Render(node->LeftOperand);
    case ntTrue: return "TRUE";
    case ntFalse: return "FALSE";
    case ntField: return node->FieldDesc->GetName();
    case ntValue: return v.IsNull() ? "NULL" : v.IsString() ? "'" + v.AsString() + "'" : v.AsString();
    default:
      return "(" + Render(node->LeftOperand) + " " + kOps[node->NodeType] + " " + Render(node->RightOperand) + ")";
  }
}

class FilterParse : public ::testing::Test {
 protected:
  void SetUp() override {
    type_ = SharedRef<TObjectType>::Adopt(new TObjectType());
    type_->SetDataType(dtObject);
    auto attribute = std::make_unique<TAttribute>(type_.get());
    attribute->SetName("PRICE");
    attribute->SetDataType(dtInteger);
    type_->AddAttribute(std::move(attribute));
    Column object{"OBJ", dtObject, kReferenceSlotSize};
    object.object_type = type_.get();
    data_.columns = {{"A", dtInteger, 4}, {"B", dtInteger, 4}, {"C", dtInteger, 4},
                     {"NAME", dtString, 21, 20}, {"with blanks", dtInteger, 4}, object};
    data_.Init();
  }
  std::string Parse(const std::string& text) {
    std::unique_ptr<TFilterTree> tree = ParseFilterExpression(text, data_.GetFieldDescs());
    return tree ? Render(tree->Root()) : "<none>";
  }
  std::string Error(const std::string& text) {
    try {
      ParseFilterExpression(text, data_.GetFieldDescs());
    } catch (const Exception& e) {
      return e.Message();
    }
    return "<parsed>";
  }

  SharedRef<TObjectType> type_;
  TTestData data_;
};

TEST_F(FilterParse, Trees) {
  const std::pair<const char*, const char*> cases[] = {
      {"a = 1 OR b = 2 AND c = 3", "((A = 1) OR ((B = 2) AND (C = 3)))"},
      {"a = 1 or b = 2 or c = 3", "(((A = 1) OR (B = 2)) OR (C = 3))"},
      {"(a = 1 OR b = 2) AND c >= 3", "(((A = 1) OR (B = 2)) AND (C >= 3))"},
      {"NOT a = 1", "NOT (A = 1)"},
      {"NOT (a = 1 OR b = 2)", "NOT ((A = 1) OR (B = 2))"},
      {"a > -5 AND b < +2.5 AND c <> 0", "(((A > -5) AND (B < 2.5)) AND (C <> 0))"},
      {"name IS NULL", "(NAME = NULL)"},
      {"name is not null", "(NAME <> NULL)"},
      {"name LIKE 'x%'", "(NAME LIKE 'x%')"},
      {"name = 'it''s'", "(NAME = 'it's')"},
      {"name = ''''", "(NAME = ''')"},
      {"name = \"it's\"", "(NAME = 'it's')"},
      {"[with blanks] <= a", "(with blanks <= A)"},
      {"obj.price = 3", "(PRICE = 3)"},
      {"5 = a", "(5 = A)"},
      {"a = TRUE OR FALSE OR NOT TRUE", "(((A = True) OR FALSE) OR NOT TRUE)"},
      {"  \t ", "<none>"},
      {"", "<none>"},
  };
  for (const auto& [text, tree] : cases) EXPECT_EQ(Parse(text), tree) << text;
}

TEST_F(FilterParse, Errors) {
  for (const std::string text : {"a = ", "a IS 5", "a IS NOT 5", "- a = 1", "a = -b", "a = 1 b", "a = 1)", "(a = 1",
                                 "a = 1 AND", "a NOT LIKE 1", "a. = 1", "NULL IS NULL", "a = 1 /* note */", "a = \x01"}) {
    EXPECT_EQ(Error(text), "Illegal filter expression") << text;
  }
  EXPECT_EQ(Error("nosuch = 1"), "Field nosuch not found");
  EXPECT_EQ(Error("[no such] = 1"), "Field no such not found");
  EXPECT_EQ(Error("obj.nosuch = 1"), "Field obj.nosuch not found");
  // Outside text comes back in a message only as a short excerpt.
  EXPECT_EQ(Error(std::string(1 << 20, 'n') + " = 1"), "Field " + std::string(64, 'n') + "... not found");
  EXPECT_EQ(Error("A = " + std::string(1 << 20, '9')),
            "'" + std::string(64, '9') + "...' is not a valid floating point value");
}

TEST_F(FilterParse, NestingIsBoundedAndChainsAreNot) {
  auto nested = [](int depth, const std::string& open, const std::string& close) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += open;
    text += "a = 1";
    for (int i = 0; i < depth; ++i) text += close;
    return text;
  };
  EXPECT_EQ(Error(nested(kMaxFilterNesting, "(", ")")), "<parsed>");
  EXPECT_EQ(Error(nested(kMaxFilterNesting + 1, "(", ")")), "Illegal filter expression");
  EXPECT_EQ(Error(nested(kMaxFilterNesting / 2, "NOT (", ")")), "<parsed>");
  EXPECT_EQ(Error(nested(100000, "(", ")")), "Illegal filter expression");
  EXPECT_EQ(Error(nested(100000, "NOT ", "")), "Illegal filter expression");

  std::string chain = "a = 0";
  for (int i = 1; i < 20000; ++i) chain += " OR a = " + std::to_string(i);
  std::unique_ptr<TFilterTree> tree = ParseFilterExpression(chain, data_.GetFieldDescs());
  TTestData::Record record(data_, false, false);
  data_.SetFilterRecBuf(record.get());
  for (int value : {0, 19999, 20000}) {
    data_.PutFieldAsVariant(1, record.get(), Variant(value));
    EXPECT_EQ(data_.Eval(tree->Root()), value < 20000) << value;
  }
}

// The scalar records (see scalar_records.h) against filter texts.
class FilterEval : public ::testing::Test {
 protected:
  void Fill(size_t row, std::initializer_list<std::pair<const char*, Variant>> values) { records_.Fill(row, values); }
  // The rows that pass the filter text (all for a blank one).
  std::set<int> Matches(const std::string& text) {
    data_.CreateFilterExpression(text);
    std::set<int> passed;
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
      data_.SetFilterRecBuf(rows_[i]->get());
      if (!data_.GetFilterExpression() || data_.Eval(data_.GetFilterExpression())) passed.insert(i);
    }
    return passed;
  }

  testing::TScalarRecords records_;
  TTestData& data_ = records_.data;
  std::vector<std::unique_ptr<TTestData::Record>>& rows_ = records_.rows;
};

TEST_F(FilterEval, EveryScalarKind) {
  const std::pair<const char*, std::set<int>> cases[] = {
      {"I32 = 5", {0}},          {"I32 = '5'", {0}},         {"I32 > -5.5", {0, 1, 2}},
      {"I32 <> 5", {1, 2, 3}},   {"I32 = NULL", {3}},        {"I32 >= 0 AND I32 <= 5", {0, 2}},
      {"F > 0 OR C = 1.25", {0}}, {"F < 0", {1}},            {"I8 = -3 AND I16 = 300 AND U16 = 65535", {0}},
      {"B = TRUE", {0}},         {"B = FALSE", {1}},         {"I64 < -8999999999 AND U32 > 3999999999", {0}},
      {"NOT B = TRUE", {1, 2, 3}}, {"V = 7", {0}},           {"BCD = 12.5 AND FB > 123.4 AND FB < 123.5", {0}},
      {"V = 'sev_n'", {1}},      {"S = 'A*'", {0}},          {"ES = 'he*' AND EWS LIKE '%heap'", {0}},
      {"S = 'Appl_'", {0}},      {"S = ''", {2}},            {"S LIKE '%p%'", {0, 1}},
      {"S IS NULL", {2, 3}},     {"W IS NULL", {2, 3}},      {"S IS NOT NULL", {0, 1}},
      {"W = '\xC4*'", {0}},      {"FALSE", {}},              {"NOT (I32 = 5 OR I32 = -5)", {2, 3}},
      {"TRUE", {0, 1, 2, 3}},    {"T = '12:00'", {0}},       {"D = '3/1/2024'", {0}},
      {"D < '1/1/1900'", {1}},   {"DT = '12/29/1899 6:00'", {1}},
      {"DT > '12/29/1899 12:00'", {0, 2}}, {"DT < '12/29/1899 12:00'", {1}},
      {"'12/29/1899 18:00' <= DT", {0, 2}},
  };
  for (const auto& [text, rows] : cases) EXPECT_EQ(Matches(text), rows) << text;
  EXPECT_THROW(Matches("D = 'not a date'"), EConvertError);
}

TEST_F(FilterEval, Options) {
  data_.SetFilterCaseInsensitive(true);
  EXPECT_EQ(Matches("S = 'a*'"), (std::set<int>{0, 1}));
  EXPECT_EQ(Matches("W = '\xE4pfel'"), (std::set<int>{0, 1}));
  data_.SetFilterCaseInsensitive(false);
  data_.SetFilterNoPartialCompare(true);
  EXPECT_EQ(Matches("S = 'Apple'"), (std::set<int>{0}));
  EXPECT_EQ(Matches("S = 'A*'"), (std::set<int>{}));
  EXPECT_EQ(Matches("S LIKE 'A%'"), (std::set<int>{}));
  EXPECT_EQ(Matches("S IS NULL"), (std::set<int>{3}));
  Fill(3, {{"S", Variant("A*")}});
  EXPECT_EQ(Matches("S = 'A*'"), (std::set<int>{3}));

  SettingsGuard guard;
  plat::ProcessFormatSettings().decimal_separator = ',';
  EXPECT_EQ(Matches("F > 2,4 AND F < 2,6"), (std::set<int>{0}));
}

// The reference: dynamic programming over prefixes.
bool ReferenceMatch(const std::string& text, const std::string& pattern) {
  std::vector<std::vector<bool>> m(text.size() + 1, std::vector<bool>(pattern.size() + 1, false));
  m[0][0] = true;
  for (size_t p = 1; p <= pattern.size(); ++p) {
    const char c = pattern[p - 1];
    for (size_t t = 0; t <= text.size(); ++t) {
      if (c == '*' || c == '%') {
        m[t][p] = m[t][p - 1] || (t > 0 && m[t - 1][p]);
      } else {
        m[t][p] = t > 0 && m[t - 1][p - 1] && (c == '_' || c == text[t - 1]);
      }
    }
  }
  return m[text.size()][pattern.size()];
}

TEST(PatternMatch, AgreesWithTheReference) {
  std::mt19937 random(18);
  auto draw = [&random](const char* alphabet, size_t max_length) {
    std::string s(random() % (max_length + 1), ' ');
    for (char& c : s) c = alphabet[random() % std::char_traits<char>::length(alphabet)];
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string text = draw("ab_*", 8);
    const std::string pattern = draw("ab*%_", 7);
    const bool expected = ReferenceMatch(text, pattern);
    ASSERT_EQ(MatchPattern(text, pattern), expected) << text << " ~ " << pattern;
    ASSERT_EQ(MatchPattern(plat::AnsiToUtf16(text), plat::AnsiToUtf16(pattern)), expected);
  }
  EXPECT_TRUE(MatchPattern("", ""));
  EXPECT_FALSE(MatchPattern("a", ""));
  EXPECT_TRUE(MatchPattern("", "%"));
  EXPECT_FALSE(MatchPattern("", "_"));
  EXPECT_FALSE(MatchPattern("ab", "_"));
  const std::string long_text(20000, 'a');
  EXPECT_FALSE(MatchPattern(long_text, std::string(5000, '%') + "b"));
  EXPECT_TRUE(MatchPattern(long_text + "b", std::string(5000, '%') + "b"));
}

TEST_F(FilterEval, FailedChangeKeepsTheFilterInForce) {
  data_.SetFilterText("I32 = 5");
  data_.Open();
  data_.SetFilterRecBuf(rows_[0]->get());
  EXPECT_THROW(data_.SetFilterText("I32 = = 5"), Exception);
  EXPECT_THROW(data_.SetFilterText("nosuch = 5"), Exception);
  EXPECT_EQ(data_.GetFilterText(), "I32 = 5");
  ASSERT_NE(data_.GetFilterExpression(), nullptr);
  EXPECT_TRUE(data_.Eval(data_.GetFilterExpression()));
  data_.SetFilterText(" ");
  EXPECT_FALSE(data_.Filtered());
  data_.SetFilterFunc([](void*) { return true; });
  EXPECT_TRUE(data_.Filtered());
}

TEST_F(FilterEval, RandomTextsFailCleanly) {
  const char* const words[] = {"S", "I32", "D", "DT", "W", "B", "V", "FB", "=", "<>", ">=", "<", "(", ")", "[",
                               "]", "-", "+", ".", "AND", "OR", "NOT", "IS", "NULL", "LIKE", "TRUE", "FALSE",
                               "'x%'", "'3/1/2024'", "''", "'", "\"", "5", "2.5", "nosuch", "*", ",", "\x02"};
  std::mt19937 random(1804);
  for (int i = 0; i < 5000; ++i) {
    std::string text;
    for (unsigned n = random() % 12; n > 0; --n) text += std::string(words[random() % std::size(words)]) + " ";
    try {
      Matches(text);
    } catch (const EAssertionFailed& e) {
      ADD_FAILURE() << text << ": " << e.Message();
    } catch (const Exception&) {
    }
  }
}

// The compiled evaluation (the whole tree) against the tree's own (a
// subtree): random conditions on every kind, random values, every option.
TEST_F(FilterEval, CompiledVerdictsAreTheTreesVerdicts) {
  const char* const fields[] = {"S", "ES", "I8", "I16", "I32", "I64", "U16", "U32", "F", "C", "W", "B", "D", "V"};
  const char* const ops[] = {"=", "<>", "<", ">", "<=", ">=", "LIKE"};
  const char* const texts[] = {"'A*'", "'a%'", "'Apple'", "''", "'%p%'", "'_pple'", "'apr*'", "'M'", "'heap'", "'5'"};
  const char* const numbers[] = {"5", "-5", "0", "2.5", "-3", "300", "65535", "4000000000", "-9000000000", "1.25"};
  const char* const words[] = {"", "Apple", "apple", "APPLE  ", "apricot", "M", "m", "Zebra", "a%", "5 "};
  std::mt19937 random(2047);
  const auto pick = [&random](const auto& list) { return std::string(list[random() % std::size(list)]); };
  std::function<std::string(int)> condition = [&](int depth) -> std::string {
    const unsigned kind = random() % (depth > 2 ? 4 : 7);
    const std::string field = pick(fields);
    switch (kind) {
      case 0: return field + " " + pick(ops) + " " + pick(numbers);
      case 1: return field + " " + pick(ops) + " " + pick(texts);
      case 2: return field + (random() % 2 ? " IS NULL" : " IS NOT NULL");
      case 3: return random() % 2 ? "TRUE" : "FALSE";
      case 4: return "NOT " + condition(depth + 1);
      case 5: return "(" + condition(depth + 1) + (random() % 2 ? " AND " : " OR ") + condition(depth + 1) + ")";
      default: return condition(depth + 1) + " AND " + condition(depth + 1) + " OR " + condition(depth + 1);
    }
  };
  const auto verdict = [this](TExpressionNode* node) -> int {
    try {
      return data_.Eval(node) ? 1 : 0;
    } catch (const EConvertError&) {
      return -1;
    }
  };
  for (int i = 0; i < 3000; ++i) {
    data_.SetFilterCaseInsensitive(random() % 3 == 0);
    data_.SetFilterNoPartialCompare(random() % 4 == 0);
    data_.SetTrimVarChar(random() % 3 == 0);
    const size_t row = random() % rows_.size();
    if (random() % 2) {
      const std::string word = pick(words);
      Fill(row, {{"S", Variant(word)}, {"ES", Variant(word)}});
    }
    const std::string text = condition(0);
    data_.CreateFilterExpression("(" + text + ") OR FALSE");
    TExpressionNode* root = data_.GetFilterExpression();
    ASSERT_TRUE(root && root->NodeType == ntOr) << text;
    data_.SetFilterRecBuf(rows_[row]->get());
    ASSERT_EQ(verdict(root), verdict(root->LeftOperand)) << text << " on row " << row;
  }
}

}  // namespace
}  // namespace dac
