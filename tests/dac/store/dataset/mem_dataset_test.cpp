// The dataset over the in-memory record set: the type mapping, field
// definitions, editing with blobs, memos, heap texts and variants (the
// sanitizer build checks every reference), calculated and lookup fields,
// filters and the field access rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "dac/framework/classes/application.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/data/blob_fields.h"
#include "dac/framework/data/data_link.h"
#include "dac/framework/data/data_source.h"
#include "dac/framework/data/field_defs.h"
#include "dac/framework/data/numeric_fields.h"
#include "dac/framework/data/string_fields.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/store/blob/blob.h"
#include "platform/date_time.h"
#include "tests/dac/store/test_mem_dataset.h"

namespace dac {
namespace {

using testing::Column;
using testing::AddCalculatedInteger;
using testing::AddLookupText;
using testing::CreateDefinedFields;
using testing::MakeDataSet;
using testing::TTestMemDataSet;

std::vector<Column> EditColumns() {
  return {{"ID", dtInteger, 4},           {"NAME", dtString, 11, 10}, {"NOTE", dtMemo, kReferenceSlotSize},
          {"DATA", dtBlob, kReferenceSlotSize}, {"EXT", dtExtString, kReferenceSlotSize, 30},
          {"V", dtVariant, kReferenceSlotSize}};
}

std::vector<testing::Row> EditRows() {
  return {{1, "one", "memo 1", "blob 1", "ext 1", 10}, {2, "two", "memo 2", "blob 2", "ext 2", 20}};
}

TEST(MemDataSetTypes, MapsDataTypesToFieldTypesAndBack) {
  struct Case {
    uint16_t data_type;
    TFieldType field_type;
    uint16_t back;
  };
  const Case cases[] = {
      {dtString, ftString, dtString},          {dtInt8, ftSmallint, dtSmallint},
      {dtUInt32, ftLargeint, dtLargeint},      {dtExtString, ftString, dtString},
      {dtExtVarBytes, ftVarBytes, dtVarBytes}, {dtWideMemo, ftMemo, dtMemo},
      {dtExtWideString, ftWideString, dtWideString}, {dtObject, ftADT, dtObject},
      {dtTable, ftDataSet, dtTable},           {dtFmtBCD, ftFMTBcd, dtFmtBCD},
      {dtGuid, ftGuid, dtGuid},                {dtUnknown, ftUnknown, dtUnknown},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetFieldType(c.data_type), c.field_type) << c.data_type;
    EXPECT_EQ(GetDataType(c.field_type), c.back) << c.data_type;
  }
  EXPECT_EQ(GetDataType(ftAutoInc), dtInteger);
  EXPECT_EQ(GetDataType(ftFixedChar), dtString);
  EXPECT_EQ(GetDataType(ftGraphic), dtUnknown);
  EXPECT_EQ(GetDataType(static_cast<TFieldType>(40)), dtUnknown);
  EXPECT_THROW(GetFieldType(31), EAssertionFailed);
}

TEST(MemDataSetDefs, DefinitionsFollowTheDescriptors) {
  SharedRef<TObjectType> array_ref = MakeShared<TObjectType>();
  TObjectType* array = array_ref.get();
  array->SetDataType(dtArray);
  array->SetSize(500);
  auto element = std::make_unique<TAttribute>(array);
  element->SetName("ELEMENT");
  element->SetDataType(dtInteger);
  array->AddAttribute(std::move(element));
  // An array of two attributes: the second attribute's elements get "_1" names.
  SharedRef<TObjectType> pair = MakeShared<TObjectType>();
  pair->SetDataType(dtArray);
  pair->SetSize(2);
  for (uint16_t type : {dtInteger, dtFloat}) {
    auto attribute = std::make_unique<TAttribute>(pair.get());
    attribute->SetName(type == dtInteger ? "X" : "Y");
    attribute->SetDataType(type);
    pair->AddAttribute(std::move(attribute));
  }
  auto ds = MakeDataSet({{"S0", dtString, 2, 0},
                         {"B0", dtBytes, 1, 0},
                         {"F", dtFloat, 8, 8, 2},
                         {"I", dtInteger, 4, 4},
                         {"BIG", dtInteger, 4, 12},
                         {"A", dtArray, kReferenceSlotSize, 0, 0, false, fdkData, array},
                         {"P", dtArray, kReferenceSlotSize, 0, 0, false, fdkData, pair.get()}});
  ds->SetNumberRange(true);
  ds->Open();
  EXPECT_EQ(ds->FieldDefs().Find("S0")->Size(), 1);
  EXPECT_EQ(ds->FieldDefs().Find("B0")->Size(), 0);
  EXPECT_EQ(ds->FieldDefs().Find("A")->ChildDefs().Count(), 100);
  EXPECT_EQ(ds->FieldDefs().Find("A")->ChildDefs().Items(99)->Name(), "99");
  auto* f = dynamic_cast<TFloatField*>(ds->F("F"));
  EXPECT_DOUBLE_EQ(f->MaxValue(), 999999.99);
  EXPECT_DOUBLE_EQ(f->MinValue(), -999999.99);
  EXPECT_EQ(dynamic_cast<TIntegerField*>(ds->F("I"))->MaxValue(), 9999);
  // Beyond nine digits the widest range the field holds.
  EXPECT_EQ(dynamic_cast<TIntegerField*>(ds->F("BIG"))->MinValue(), -2147483647);
  // Each child definition reads its own descriptor.
  EXPECT_EQ(ds->GetFieldDesc(ds->F("A.7"))->GetFullName(), "A[7]");
  std::string names;
  for (int i = 0; i < 4; ++i) names += ds->FieldDefs().Find("P")->ChildDefs().Items(i)->Name() + " ";
  EXPECT_EQ(names, "0 1 0_1 1_1 ");
  EXPECT_EQ(ds->GetFieldDesc(ds->F("P.0_1"))->GetDataType(), dtFloat);
  ds->Close();
  ds->SetSparseArrays(true);
  ds->Open();
  EXPECT_EQ(ds->FieldDefs().Find("A")->ChildDefs().Count(), 1);
}

TEST(MemDataSetDefs, AReopenWithFewerColumnsMakesNewDefinitions) {
  auto ds = MakeDataSet({{"A", dtInteger, 4}, {"B", dtInteger, 4}, {"C", dtInteger, 4}});
  ds->AddSource({{1, 2, 3}});
  ds->Open();
  ds->Close();
  ds->Rows().columns.pop_back();
  ds->Rows().source = {{7, 8}};
  ds->Open();
  EXPECT_EQ(ds->FieldCount(), 2);
  EXPECT_EQ(ds->Text("B"), "8");
  EXPECT_EQ(ds->FindField("C"), nullptr);
}

TEST(MemDataSetEditing, EditsInsertsAndDeletesRecordsWithTheirValues) {
  auto ds = MakeDataSet(EditColumns());
  ds->AddSource(EditRows());
  ds->Open();
  EXPECT_EQ(ds->Values("NOTE"), "memo 1|memo 2");

  // A cancelled edit brings back the blob, heap text and variant.
  ds->First();
  ds->Edit();
  ds->F("NOTE")->SetAsString("changed");
  ds->F("DATA")->SetAsString("");
  ds->F("EXT")->SetAsString("changed ext");
  ds->F("V")->SetValue(Variant("text"));
  EXPECT_EQ(ds->F("NOTE")->OldValue().AsString(), "memo 1");
  ds->Cancel();
  EXPECT_EQ(ds->Text("NOTE") + "," + ds->Text("DATA") + "," + ds->Text("EXT") + "," + ds->Text("V"),
            "memo 1,blob 1,ext 1,10");

  // A posted edit keeps the new values; the old value reads the edit's start.
  ds->Edit();
  ds->F("NOTE")->SetAsString("edited");
  ds->F("EXT")->SetAsString("ext edited");
  EXPECT_TRUE(dynamic_cast<TBlobField*>(ds->F("NOTE"))->Modified());
  ds->Post();
  EXPECT_EQ(ds->Text("NOTE") + "," + ds->Text("EXT"), "edited,ext edited");

  // Inserted, appended (then cancelled) and deleted records.
  ds->Insert();
  ds->F("ID")->SetAsInteger(5);
  ds->F("NOTE")->SetAsString("inserted");
  ds->F("EXT")->SetAsString("new ext");
  ds->Post();
  ds->Append();
  ds->F("DATA")->SetAsString("dropped");
  ds->F("EXT")->SetAsString("dropped");
  ds->Cancel();
  ds->Last();
  ds->Delete();
  EXPECT_EQ(ds->Values("ID"), "5|1");
  EXPECT_EQ(ds->Values("NOTE"), "inserted|edited");
  EXPECT_EQ(ds->performed, "UAD");

  // Closing in the middle of an insert or an edit leaves nothing behind.
  ds->Append();
  ds->F("NOTE")->SetAsString("open insert");
  ds->Close();
  ds->Open();
  ds->Edit();
  ds->F("EXT")->SetAsString("open edit");
  ds->Close();
}

TEST(MemDataSetEditing, LocalUpdateAndDeferredPost) {
  auto ds = MakeDataSet(EditColumns());
  ds->AddSource(EditRows());
  ds->SetLocalUpdate(true);
  ds->Open();
  ds->Edit();
  ds->F("NAME")->SetAsString("x");
  ds->Post();
  ds->Delete();
  EXPECT_EQ(ds->performed, "");
  ds->SetLocalUpdate(false);

  // The deferred post reaches the server; the edit goes on with its values
  // as old values, and a post after a deferred insert is an update.
  ds->First();
  ds->Edit();
  ds->F("NOTE")->SetAsString("deferred");
  ds->DeferredPost();
  EXPECT_TRUE(ds->GetInDeferredPost());
  ds->F("NOTE")->SetAsString("after");
  EXPECT_EQ(ds->F("NOTE")->OldValue().AsString(), "deferred");
  ds->Post();
  EXPECT_FALSE(ds->GetInDeferredPost());
  ds->Append();
  ds->F("ID")->SetAsInteger(9);
  ds->DeferredPost();
  ds->Post();
  EXPECT_EQ(ds->performed, "UUAU");
  EXPECT_EQ(ds->Values("NOTE"), "after|-");

  // A required field without a value stops the deferred post.
  ds->Edit();
  ds->F("NAME")->SetRequired(true);
  ds->F("NAME")->Clear();
  EXPECT_THROW(ds->DeferredPost(), EDatabaseError);
  ds->Cancel();
  ds->F("NAME")->SetRequired(false);
  ds->Close();
  ds->SetCachedUpdates(true);
  ds->Open();
  ds->Edit();
  ds->DeferredPost();  // nothing with cached updates
  EXPECT_FALSE(ds->GetInDeferredPost());
}

TEST(MemDataSetFields, AccessFollowsTheState) {
  auto ds = MakeDataSet({{"ID", dtInteger, 4}, {"RO", dtInteger, 4, 0, 0, false, fdkData, nullptr, true}});
  ds->AddSource({{1, 2}});
  ds->Open();
  EXPECT_THROW(ds->F("ID")->SetAsInteger(3), EDatabaseError);
  ds->Edit();
  try {
    ds->F("RO")->SetAsInteger(3);
    FAIL();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Field 'RO' cannot be modified");
  }
  ds->Cancel();
  EXPECT_TRUE(ds->GetStateFieldValue(dsInsert, ds->F("ID")).IsNull());
  EXPECT_EQ(ds->GetFieldDesc(ds->F("ID"))->GetName(), "ID");
  EXPECT_THROW(ds->CheckPrepared(), EDatabaseError);
}

// Calculated and lookup fields live in the record set: they sort and filter.
class CalcFields : public ::testing::TestWithParam<bool> {};

TEST_P(CalcFields, AreKeptInTheRecordSet) {
  auto names = MakeDataSet({{"K", dtInteger, 4}, {"TITLE", dtString, 11, 10}});
  names->AddSource({{1, "one"}, {2, "two"}, {3, "three"}});
  names->Open();
  auto ds = MakeDataSet({{"ID", dtInteger, 4}, {"K", dtInteger, 4}});
  ds->AddSource({{1, 3}, {2, 1}, {3, 2}});
  ds->SetCacheCalcFields(GetParam());
  CreateDefinedFields(*ds);
  AddCalculatedInteger(*ds, "TWICE");
  AddLookupText(*ds, "TITLE", 10, names.get(), "K", "K", "TITLE");
  int calculations = 0;
  ds->SetOnCalcFields([&](TDataSet* d) {
    ++calculations;
    d->FieldByName("TWICE")->SetAsInteger(d->FieldByName("ID")->AsInteger() * 2);
  });
  ds->Open();
  EXPECT_EQ(ds->Values("TWICE"), "2|4|6");
  EXPECT_EQ(ds->Values("TITLE"), "three|one|two");
  const int after_reads = calculations;
  ds->Values("TWICE");
  // Cached values are not calculated again on reading.
  EXPECT_EQ(calculations > after_reads, !GetParam());
  ds->SetIndexFieldNames("TITLE");
  EXPECT_EQ(ds->Values("ID"), "2|1|3");
  ds->SetIndexFieldNames("TWICE DESC");
  EXPECT_EQ(ds->Values("ID"), "3|2|1");
  ds->SetFilterText("TWICE > 2");
  ds->SetFiltered(true);
  EXPECT_EQ(ds->Values("TITLE"), "two|one");
  EXPECT_EQ(ds->Lookup("TITLE", "one", "TWICE").AsInt32(), 4);
  EXPECT_TRUE(ds->Lookup("TITLE", "three", "TWICE").IsNull());
}

INSTANTIATE_TEST_SUITE_P(CacheCalcFields, CalcFields, ::testing::Bool());

TEST(MemDataSetFilters, FilterTextHandlerAndFind) {
  auto ds = MakeDataSet({{"ID", dtInteger, 4}, {"NAME", dtString, 11, 10}});
  ds->AddSource({{1, "ann"}, {2, "bob"}, {3, "Abe"}, {4, "bea"}});
  ds->Open();
  ds->SetFilterText("NAME = 'a*'");
  ds->SetFilterOptions({foCaseInsensitive});
  EXPECT_EQ(ds->Values("ID"), "1|2|3|4");
  ds->SetFiltered(true);
  EXPECT_EQ(ds->Values("ID"), "1|3");
  ds->SetFilterOptions({});
  EXPECT_EQ(ds->Values("ID"), "1");
  ds->SetFiltered(false);
  ds->SetFilterText("");

  // A handler's failure goes to the application's hook; the record passes.
  std::string reported;
  const TExceptionHandler saved =
      SetApplicationExceptionHandler([&](TObject*, const std::exception& e) { reported += e.what(); });
  ds->SetOnFilterRecord([](TDataSet* d, bool& accept) {
    if (d->FieldByName("ID")->AsInteger() == 3) throw Exception("odd");
    accept = d->FieldByName("ID")->AsInteger() % 2 == 0;
  });
  EXPECT_TRUE(ds->FindFirst());
  EXPECT_EQ(ds->Text("ID"), "2");
  EXPECT_TRUE(ds->FindNext());
  EXPECT_EQ(ds->Text("ID"), "3");
  EXPECT_EQ(ds->Values("ID"), "1|2|3|4");
  ds->SetFiltered(true);
  EXPECT_EQ(ds->Values("ID"), "2|3|4");
  SetApplicationExceptionHandler(saved);
  EXPECT_NE(reported.find("odd"), std::string::npos);
}

// Callers keep bookmarks as bytes and compare them so: the same row gives the
// same bytes however the cursor came to it.
TEST(MemDataSetEditing, BookmarksOfOneRowAreTheSameBytes) {
  auto ds = MakeDataSet(EditColumns());
  ds->AddSource(EditRows());
  ds->Open();
  ds->Last();
  const TBookmark by_last = ds->GetBookmark();
  ds->First();
  ds->Next();
  EXPECT_EQ(ds->GetBookmark(), by_last);
  ds->First();
  ds->GotoBookmark(by_last);
  EXPECT_EQ(ds->GetBookmark(), by_last);
  ds->Edit();
  ds->F("EXT")->SetAsString("edited");
  ds->Post();
  EXPECT_EQ(ds->GetBookmark(), by_last);
}

// ---- the walk ----

std::vector<Column> WalkColumns() {
  return {{"ID", dtInteger, 4}, {"NAME", dtString, 41, 40}, {"AMOUNT", dtFloat, 8}, {"STAMP", dtDateTime, 8}};
}

// Dates at both ends of the range, around day zero (before it the fraction
// counts away from zero) and a millisecond before midnight; a null row.
std::vector<testing::Row> WalkRows() {
  const auto at = [](int year, int month, int day, int hour, int minute, int second, int msec) {
    plat::DateTime value = 0;
    EXPECT_TRUE(plat::TryEncodeDateTime(year, month, day, hour, minute, second, msec, value));
    return Variant::FromDateTime(value);
  };
  return {{1, "one", 1.25, at(1, 1, 1, 0, 0, 0, 0)},
          {2, "a name of exactly forty characters, long", -0.1, at(9999, 12, 31, 23, 59, 59, 999)},
          {3, "", 1e300, at(1899, 12, 30, 12, 0, 0, 0)},
          {4, "three", 0.0, at(1899, 12, 29, 6, 0, 0, 0)},
          {Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null()},
          {6, "last", 3.5, at(2024, 2, 29, 23, 59, 59, 999)}};
}

// What the walk reads of a row, the date as its exact bits.
std::string RowText(TTestMemDataSet& ds) {
  const plat::DateTime stamp = ds.F("STAMP")->AsDateTime();
  uint64_t bits = 0;
  std::memcpy(&bits, &stamp, sizeof bits);
  return std::to_string(ds.F("ID")->AsInteger()) + "," + ds.F("NAME")->AsString() + "," +
         std::to_string(ds.F("AMOUNT")->AsFloat()) + "," + std::to_string(bits);
}

// The date the record's native milliseconds give by the general conversion.
plat::DateTime ReferenceDate(TField* field) {
  double msecs = 0;
  if (!field->GetData(&msecs, true)) return 0;
  plat::TimeStamp stamp;
  plat::DateTime value = 0;
  EXPECT_TRUE(plat::TryMSecsToTimeStamp(msecs, stamp));
  EXPECT_TRUE(plat::TryTimeStampToDateTime(stamp, value));
  return value;
}

class ScrollLink : public TDataLink {
 public:
  std::vector<int> scrolls;

 protected:
  void DataSetScrolled(int distance) override { scrolls.push_back(distance); }
};

// A walk reads the same values however many listen: scroll handlers, links
// with rings of one and of several records, calculated fields, a validating
// field reading its new value; and every listener hears each step.
TEST(MemDataSetWalk, ListenersHearEveryStepAndTheValuesStayTheSame) {
  std::string plain;
  for (const int setup : {0, 1, 2, 3}) {
    SCOPED_TRACE("setup " + std::to_string(setup));
    auto ds = MakeDataSet(WalkColumns());
    ds->AddSource(WalkRows());
    CreateDefinedFields(*ds);
    int calculations = 0;
    if (setup == 3) {
      AddCalculatedInteger(*ds, "TWICE");
      ds->SetOnCalcFields([&](TDataSet* d) {
        ++calculations;
        d->FieldByName("TWICE")->SetAsInteger(d->FieldByName("ID")->AsInteger() * 2);
      });
    }
    ScrollLink link;
    if (setup == 1 || setup == 2) {
      link.SetBufferCount(setup == 1 ? 1 : 3);
      link.SetDataSource(MakeComponent<TDataSource>(ds.get()));
      link.DataSource()->SetDataSet(ds.get());
    }
    int before = 0;
    int after = 0;
    if (setup != 0) {
      ds->SetBeforeScroll([&](TDataSet*) { ++before; });
      ds->SetAfterScroll([&](TDataSet*) { ++after; });
    }
    ds->Open();
    std::string walked;
    int rows = 0;
    for (ds->First(); !ds->GetEOF(); ds->Next()) {
      walked += RowText(*ds) + "|";
      EXPECT_EQ(ds->F("STAMP")->AsDateTime(), ReferenceDate(ds->F("STAMP")));
      if (setup == 3) {
        EXPECT_EQ(ds->FieldByName("TWICE")->AsInteger(), ds->F("ID")->AsInteger() * 2);
      }
      ++rows;
    }
    EXPECT_EQ(rows, 6);
    if (setup == 0) plain = walked;
    EXPECT_EQ(walked, plain);
    if (setup != 0) {
      // The open and First, then five steps; the step that finds the end
      // is announced but moves nowhere.
      EXPECT_EQ(before, 7);
      EXPECT_EQ(after, 7);
    }
    if (setup == 1) {
      EXPECT_EQ(link.scrolls, (std::vector<int>{1, 1, 1, 1, 1, 0})) << "a ring of one shifts by one each step";
    }
    if (setup == 2) {
      EXPECT_EQ(link.scrolls, (std::vector<int>{0, 0, 1, 1, 1, 0})) << "the ring fills, then shifts";
    }
    if (setup == 3) {
      EXPECT_GE(calculations, 6);
    }
  }
  EXPECT_NE(plain.find(",one,1.250000,"), std::string::npos);

  // A validating field reads the value it is given, not the record's.
  auto ds = MakeDataSet(WalkColumns());
  ds->AddSource(WalkRows());
  CreateDefinedFields(*ds);
  ds->Open();
  std::vector<std::string> seen;
  ds->F("ID")->SetOnValidate([&](TField* field) { seen.push_back(std::to_string(field->AsInteger())); });
  ds->F("STAMP")->SetOnValidate([&](TField* field) { seen.push_back(std::to_string(field->AsDateTime())); });
  ds->Edit();
  ds->F("ID")->SetAsInteger(41);
  ds->F("STAMP")->SetAsDateTime(2.5);
  EXPECT_EQ(ds->F("ID")->AsInteger(), 41);
  ds->Cancel();
  EXPECT_EQ(seen, (std::vector<std::string>{"41", std::to_string(2.5)}));
  EXPECT_EQ(ds->F("ID")->AsInteger(), 1);
}

// A date-time's native milliseconds convert as the general conversion does,
// bit for bit, rounding halves up and refusing what no date holds.
TEST(MemDataSetWalk, DateTimesConvertFromTheirMillisecondsExactly) {
  auto ds = MakeDataSet(WalkColumns());
  ds->AddSource(WalkRows());
  CreateDefinedFields(*ds);
  ds->Open();
  TField* stamp = ds->F("STAMP");
  const double day = static_cast<double>(plat::kMSecsPerDay);
  const double last = 3652060.0 * day;
  for (const double msecs : {day, day + 0.5, day + 0.49999999999999994, day + 1.5, 693594.0 * day,
                             693594.0 * day - 0.5, 693593.0 * day + 21600000.0, 730000.0 * day + 12345.678,
                             last - 1.0, last - 0.5000001, last - 0.5, std::nextafter(day, 0.0) + 0.5,
                             0.0 /* the zero date */}) {
    SCOPED_TRACE(std::to_string(msecs));
    plat::TimeStamp parts;
    plat::DateTime expected = 0;
    ASSERT_TRUE(plat::TryMSecsToTimeStamp(msecs, parts));
    ASSERT_TRUE(plat::TryTimeStampToDateTime(parts, expected));
    plat::DateTime value = 0;
    ds->DataConvert(stamp, &msecs, &value, false);
    EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << value << " against " << expected;
  }
  for (const double msecs : {-1.0, 0.5, day / 2, day - 0.5000001, last, 1e300, std::nan("")}) {
    SCOPED_TRACE(std::to_string(msecs));
    plat::TimeStamp parts;
    const bool valid = plat::TryMSecsToTimeStamp(msecs, parts);
    plat::DateTime value = 0;
    try {
      ds->DataConvert(stamp, &msecs, &value, false);
      ADD_FAILURE() << "converted to " << value << " (the general way: " << valid << ")";
    } catch (const EConvertError& error) {
      EXPECT_FALSE(valid);
      EXPECT_EQ(std::string(error.what()), "'" + FloatToStr(msecs) + "' is not a valid timestamp");
    }
  }
}

}  // namespace
}  // namespace dac
