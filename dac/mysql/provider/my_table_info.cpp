#include "dac/mysql/provider/my_table_info.h"

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/provider/my_identifiers.h"

namespace dac {

const TMetaClass& TMyTableInfo::ClassInfo() {
  static const TMyTableInfoClass meta("TMyTableInfo", &TDKTableInfo::ClassInfo());
  return meta;
}

// An entry reports the rules it was made by.
const TMetaClass& TMyTableInfo::ClassType() const { return rules_ ? *rules_ : ClassInfo(); }

const TMyTableInfoClass& TMyTableInfo::InfoClassFor(std::string_view charset) {
  static const TMyTableInfoClass gbk("TMyTableInfo", &ClassInfo(), TMyCharsetKind::ckGbk);
  static const TMyTableInfoClass big5("TMyTableInfo", &ClassInfo(), TMyCharsetKind::ckBig5);
  static const TMyTableInfoClass sjis("TMyTableInfo", &ClassInfo(), TMyCharsetKind::ckSjis);
  static const TMyTableInfoClass gb18030("TMyTableInfo", &ClassInfo(), TMyCharsetKind::ckGb18030);
  switch (CharsetKindOf(charset)) {
    case TMyCharsetKind::ckGbk:
      return gbk;
    case TMyCharsetKind::ckBig5:
      return big5;
    case TMyCharsetKind::ckSjis:
      return sjis;
    case TMyCharsetKind::ckGb18030:
      return gb18030;
    default:
      return InfoClass();
  }
}

TDKTableInfo* TMyTableInfoClass::Create(TDKTablesInfo* owner) const { return new TMyTableInfo(owner, this); }

std::string TMyTableInfoClass::NormalizeName(std::string_view value, bool quote_names) const {
  return NormalizeQualifiedName(value, quote_names, kind_);
}

std::string TMyTableInfoClass::NormalizeName(std::string_view value, char, char, bool quote_names) const {
  return NormalizeQualifiedName(value, quote_names, kind_);
}

bool TMyTableInfoClass::IsQuoted(std::string_view value) const {
  DAC_ASSERT(SplitName(value, kind_).size() == 1, "In func IsQuotedName delimited values not allowed");
  return IsQuotedIdentifier(value, kind_);
}

bool TMyTableInfoClass::QuotesNeeded(std::string_view value) const {
  DAC_ASSERT(SplitName(value, kind_).size() == 1, "In func IsBracketNeeds delimited values not allowed");
  return IdentifierNeedsQuotes(UnquoteIdentifier(value, kind_));
}

std::string TMyTableInfoClass::QuoteIdentifier(std::string_view bare, bool quote_names) const {
  return IdentifierIfNeeded(bare, quote_names, kind_);
}

}  // namespace dac
