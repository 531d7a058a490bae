// What a post leaves behind, and what the setters write: the dataset keeps
// the buffer it posted (instead of reading the row back) and writes some
// values straight into the record; both must leave exactly what the
// general way leaves, whatever the columns, values and settings.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "dac/framework/data/data_link.h"
#include "dac/framework/data/data_source.h"
#include "dac/framework/data/numeric_fields.h"
#include "tests/dac/store/test_mem_dataset.h"

namespace dac {
namespace {

using testing::Column;
using testing::ComponentPtr;
using testing::LinkRecorder;
using testing::AddCalculatedInteger;
using testing::CreateDefinedFields;
using testing::MakeDataSet;
using testing::TTestMemDataSet;

// Everything the dataset shows of its active record, and the buffer's bytes.
struct Shown {
  TDataSetState state = dsInactive;
  bool modified = false;
  bool bof = false;
  bool eof = false;
  int rec_no = 0;
  int count = 0;
  TUpdateStatus status = usUnmodified;
  // The bookmark's fields (its padding bytes are whatever they were).
  std::vector<int64_t> bookmark;
  std::vector<std::string> values;  // null as "<null>"
  std::vector<uint8_t> buffer;      // record data and record info

  bool operator==(const Shown&) const = default;
};

Shown ShownOf(TTestMemDataSet& ds) {
  Shown shown;
  shown.state = ds.GetState();
  shown.modified = ds.Modified();
  shown.bof = ds.GetBOF();
  shown.eof = ds.GetEOF();
  shown.rec_no = ds.RecNo();
  shown.count = ds.RecordCount();
  shown.status = ds.UpdateStatus();
  const TBookmark bookmark = ds.GetBookmark();
  TRecBookmark mark;
  if (bookmark.size() == sizeof mark) {
    std::memcpy(&mark, bookmark.data(), sizeof mark);
    shown.bookmark = {mark.RefreshIteration, reinterpret_cast<intptr_t>(mark.Item),
                      static_cast<int64_t>(mark.ItemSerial), mark.Order};
  }
  for (int i = 0; i < ds.Fields().Count(); ++i) {
    TField* field = ds.Fields().Fields(i);
    shown.values.push_back(field->IsNull() ? "<null>" : field->AsString());
  }
  const uint8_t* buffer = ds.ActiveBuffer();
  shown.buffer.assign(buffer, buffer + ds.BookmarkOfs());
  return shown;
}

std::string Describe(const Shown& shown) {
  std::string text = "recno " + std::to_string(shown.rec_no) + " of " + std::to_string(shown.count) + ":";
  for (const std::string& value : shown.values) text += " [" + value + "]";
  text += " buffer";
  for (uint8_t byte : shown.buffer) text += " " + std::to_string(byte);
  return text;
}

struct Setting {
  const char* name;
  std::vector<Column> extra;  // columns besides the plain ones
  bool calculated = false;
  const char* index = "";
  const char* filter = "";
  bool cached = false;
  int link_buffers = 0;  // 0: no link
  bool kept;             // the posted buffer stays in the ring
};

std::vector<Column> PlainColumns() {
  return {{"ID", dtInteger, 4},   {"NAME", dtString, 11, 10}, {"AMOUNT", dtFloat, 8},
          {"STAMP", dtDateTime, 8}, {"SMALL", dtSmallint, 2}, {"BIG", dtLargeint, 8},
          {"FLAG", dtBoolean, 2},  {"PRICE", dtFloat, 8, 0, 2}};
}

// The values of row i; every third row leaves some fields null.
void FillRow(TTestMemDataSet& ds, int i) {
  ds.F("ID")->SetAsInteger(i % 2 == 0 ? 100 - i : i);  // out of key order
  // At its full size, longer (cut), and empty (null).
  const char* names[] = {"abcdefghij", "abcdefghijKLM", "", "x"};
  ds.F("NAME")->SetAsString(names[i % 4]);
  if (i % 3 != 0) {
    ds.F("AMOUNT")->SetAsFloat(i * 1.25);
    ds.F("STAMP")->SetAsDateTime(45000.5 + i * 0.3333333);
    ds.F("SMALL")->SetAsInteger(-i);
    ds.F("BIG")->SetAsLargeInt(int64_t{1} << (40 + i % 8));
    ds.F("FLAG")->SetAsBoolean(i % 2 == 1);
    ds.F("PRICE")->SetAsFloat(i / 3.0);
  }
  if (TField* note = ds.FindField("NOTE")) note->SetAsString("note " + std::to_string(i));
  if (TField* ext = ds.FindField("EXT")) ext->SetAsString("ext " + std::to_string(i));
}

class PostLeaves : public ::testing::TestWithParam<Setting> {};

TEST_P(PostLeaves, WhatReadingTheRowBackGives) {
  const Setting& setting = GetParam();
  std::vector<Column> columns = PlainColumns();
  columns.insert(columns.end(), setting.extra.begin(), setting.extra.end());
  auto ds = MakeDataSet(columns);
  ds->AddSource({{5, "five"}, {50, "fifty"}});
  ds->SetCachedUpdates(setting.cached);
  if (setting.calculated) {
    CreateDefinedFields(*ds);
    AddCalculatedInteger(*ds, "TWICE");
    ds->SetOnCalcFields([](TDataSet* d) {
      TField* id = d->FieldByName("ID");
      if (!id->IsNull()) d->FieldByName("TWICE")->SetAsInteger(id->AsInteger() * 2);
    });
  }
  ds->Open();
  ds->SetIndexFieldNames(setting.index);
  ds->SetFilterText(setting.filter);
  ds->SetFiltered(*setting.filter != 0);
  LinkRecorder link;
  if (setting.link_buffers > 0) {
    link.SetBufferCount(setting.link_buffers);
    link.SetDataSource(MakeComponent<TDataSource>(ds.get()));
    link.DataSource()->SetDataSet(ds.get());
  }
  std::string posts;
  ds->SetAfterPost([&](TDataSet*) { posts += "P"; });

  for (int i = 0; i < 12; ++i) {
    SCOPED_TRACE(std::string(setting.name) + ", step " + std::to_string(i));
    switch (i % 3) {
      case 0: ds->Append(); break;
      case 1: ds->Insert(); break;
      default: ds->Edit(); break;
    }
    FillRow(*ds, i);
    const TRecordBuffer posted = ds->ActiveBuffer();
    link.events.clear();
    ds->Post();
    const std::string events = link.events;
    const bool kept = ds->ActiveBuffer() == posted;
    const Shown after_post = ShownOf(*ds);
    // The general way: the ring read again around the active record.
    link.events.clear();
    ds->UpdateCursorPos();
    ds->Resync({});
    const Shown read_back = ShownOf(*ds);
    EXPECT_EQ(after_post, read_back) << Describe(after_post) << "\nread back: " << Describe(read_back);
    EXPECT_EQ(kept, setting.kept && ds->RecNo() > 0);
    if (setting.link_buffers > 0) {
      // Editing ends, then the dataset has changed: as a resync tells it.
      EXPECT_EQ(events, "EC");
      EXPECT_EQ(link.events, "C");
    }
  }
  EXPECT_EQ(posts, std::string(12, 'P'));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, PostLeaves,
    ::testing::Values(
        Setting{"plain", {}, false, "", "", false, 0, true},
        Setting{"linked", {}, false, "", "", false, 1, true},
        Setting{"ring of three", {}, false, "", "", false, 3, false},
        Setting{"blobs", {{"NOTE", dtMemo, kReferenceSlotSize}}, false, "", "", false, 0, false},
        Setting{"heap text", {{"EXT", dtExtString, kReferenceSlotSize, 30}}, false, "", "", false, 0, false},
        Setting{"calculated", {}, true, "", "", false, 0, false},
        Setting{"sorted", {}, false, "ID", "", false, 0, false},
        Setting{"sorted by text, descending", {}, false, "NAME DESC;ID", "", false, 0, false},
        Setting{"filtered", {}, false, "", "ID > 10", false, 0, false},
        Setting{"cached updates", {}, false, "", "", true, 0, false}),
    [](const ::testing::TestParamInfo<Setting>& info) {
      std::string name;
      for (const char* c = info.param.name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      return name;
    });

// Whether the bound fields compute values is known once they are bound: it
// must follow every binding as calculated fields come and go between opens,
// both for the values recalculated while inserting and for the post.
TEST(PostLeaves, CalculatedFieldsFollowEveryBinding) {
  struct Step {
    const char* name;
    bool calculated;
  };
  const std::vector<Step> steps = {{"plain", false},
                                   {"calculated added", true},
                                   {"reopened with it", true},
                                   {"calculated removed", false},
                                   {"added back", true}};
  auto ds = MakeDataSet(PlainColumns());
  CreateDefinedFields(*ds);
  ds->SetOnCalcFields([](TDataSet* d) {
    TField* twice = d->FindField("TWICE");
    TField* id = d->FieldByName("ID");
    if (twice && !id->IsNull()) twice->SetAsInteger(id->AsInteger() * 2);
  });
  int row = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    ds->Close();
    TField* twice = ds->FindField("TWICE");
    if (step.calculated && !twice) AddCalculatedInteger(*ds, "TWICE");
    if (!step.calculated && twice) {
      twice->SetDataSet(nullptr);
      twice->Free();
    }
    ds->Open();
    ds->Append();
    FillRow(*ds, ++row);
    if (step.calculated) {
      EXPECT_EQ(ds->FieldByName("TWICE")->AsInteger(), ds->F("ID")->AsInteger() * 2);
    }
    const TRecordBuffer posted = ds->ActiveBuffer();
    ds->Post();
    EXPECT_EQ(ds->ActiveBuffer() == posted, !step.calculated);
    const Shown after_post = ShownOf(*ds);
    ds->UpdateCursorPos();
    ds->Resync({});
    const Shown read_back = ShownOf(*ds);
    EXPECT_EQ(after_post, read_back) << Describe(after_post) << "\nread back: " << Describe(read_back);
  }
}

// A field with an OnValidate handler takes the general way: the same value
// written both ways must give the same stored value, or the same refusal.
TEST(DirectWrites, StoreWhatTheGeneralWayStores) {
  auto ds = MakeDataSet({{"D1", dtDateTime, 8}, {"D2", dtDateTime, 8}, {"S1", dtString, 11, 10},
                         {"S2", dtString, 11, 10}, {"F1", dtFloat, 8}, {"F2", dtFloat, 8},
                         {"I1", dtInteger, 4}, {"I2", dtInteger, 4}});
  ds->Open();
  int validated = 0;
  for (const char* name : {"D2", "S2", "F2", "I2"}) ds->F(name)->SetOnValidate([&](TField*) { ++validated; });
  ds->Append();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double dates[] = {0.0,       -0.5,          -693593.5,    -693593.9999999999, -693594.0 + 1e-12,
                          45000.25,  45000.9999999, 45000.99999999, 2958465.9999999,  2958465.99999999999,
                          2958466.0, 1e300,         nan,          1.0 / 3,            -1.0 / 3};
  for (double value : dates) {
    SCOPED_TRACE(value);
    std::string direct_error;
    std::string general_error;
    try {
      ds->F("D1")->SetAsDateTime(value);
    } catch (const Exception& e) {
      direct_error = e.Message();
    }
    try {
      ds->F("D2")->SetAsDateTime(value);
    } catch (const Exception& e) {
      general_error = e.Message();
    }
    EXPECT_EQ(direct_error, general_error);
    if (!direct_error.empty()) continue;
    EXPECT_EQ(ds->F("D1")->AsFloat(), ds->F("D2")->AsFloat());
    EXPECT_EQ(ds->F("D1")->AsString(), ds->F("D2")->AsString());
  }
  for (const char* text : {"", "a", "abcdefghij", "abcdefghijk", "abc\0def"}) {
    SCOPED_TRACE(text);
    ds->F("S1")->SetAsString(text);
    ds->F("S2")->SetAsString(text);
    EXPECT_EQ(ds->F("S1")->IsNull(), ds->F("S2")->IsNull());
    EXPECT_EQ(ds->F("S1")->AsString(), ds->F("S2")->AsString());
  }
  for (double value : {0.0, -0.0, 1e-300, 12.345, nan}) {
    ds->F("F1")->SetAsFloat(value);
    ds->F("F2")->SetAsFloat(value);
    EXPECT_EQ(ds->F("F1")->AsString(), ds->F("F2")->AsString());
  }
  ds->F("I1")->SetAsInteger(-7);
  ds->F("I2")->SetAsInteger(-7);
  ds->F("I1")->Clear();
  ds->F("I2")->Clear();
  EXPECT_TRUE(ds->F("I1")->IsNull() && ds->F("I2")->IsNull());
  ds->F("I1")->SetAsInteger(8);
  ds->Post();
  EXPECT_EQ(ds->F("I1")->AsInteger(), 8);
  EXPECT_GT(validated, 0);
  // A read-only field is refused on both ways.
  ds->F("I1")->SetReadOnly(true);
  ds->Edit();
  EXPECT_THROW(ds->F("I1")->SetAsInteger(9), EDatabaseError);
  EXPECT_EQ(ds->F("I1")->AsInteger(), 8);
}

// Date-times swept over the span's ends, days either side of the epoch,
// millisecond ties and their neighbours, and a seeded spread: the direct way
// stores bit for bit what the general way stores, or refuses with its error.
TEST(DirectWrites, DateTimesStoreTheGeneralWaysBits) {
  auto ds = MakeDataSet({{"D1", dtDateTime, 8}, {"D2", dtDateTime, 8}});
  ds->Open();
  ds->F("D2")->SetOnValidate([](TField*) {});
  ds->Append();
  std::vector<double> values = {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(), -0.0, 5e-324, -5e-324};
  const double ms = 1.0 / 86400000;
  for (double day : {-693594.0, -693593.0, -693592.0, -400000.0, -2.0, -1.0, 0.0, 1.0, 45000.0, 2958464.0,
                     2958465.0, 2958466.0}) {
    for (double sign : {1.0, -1.0}) {
      for (double part : {0.0, 0.5 * ms, 1.5 * ms, 0.25, 0.5, 0.5 + 0.5 * ms, 1 - 0.5 * ms, 1 - 1.5 * ms, 1 - 1e-12}) {
        const double value = day + sign * part;
        values.push_back(value);
        values.push_back(std::nextafter(value, 1e300));
        values.push_back(std::nextafter(value, -1e300));
      }
    }
  }
  uint64_t seed = 12345;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    const double unit = static_cast<double>(seed >> 11) / 9007199254740992.0;
    values.push_back(-700000.0 + unit * 3700000.0);
  }
  TData& data = *ds->Data();
  const auto bits_of = [&](const char* name) {
    TFieldDesc* desc = data.GetFieldDescs().GetItems(ds->F(name)->FieldNo() - 1);
    uint64_t bits = 0;
    std::memcpy(&bits, ds->ActiveBuffer() + desc->GetOffset(), sizeof bits);
    return bits;
  };
  for (double value : values) {
    SCOPED_TRACE(::testing::Message() << std::hexfloat << value);
    std::string errors[2];
    int i = 0;
    for (const char* name : {"D1", "D2"}) {
      ds->F(name)->Clear();
      try {
        ds->F(name)->SetAsDateTime(value);
      } catch (const Exception& e) {
        errors[i] = e.Message();
      }
      ++i;
    }
    EXPECT_EQ(errors[0], errors[1]);
    EXPECT_EQ(ds->F("D1")->IsNull(), ds->F("D2")->IsNull());
    EXPECT_EQ(bits_of("D1"), bits_of("D2"));
  }
}

// A descendant that hears every event the dataset sends itself.
class TListeningDataSet : public TTestMemDataSet {
 public:
  using TTestMemDataSet::TTestMemDataSet;
  std::string heard;
  void DataEvent(TDataEvent event, intptr_t info) override {
    if (event == deFieldChange) heard += reinterpret_cast<TField*>(info)->FieldName() + ";";
    TTestMemDataSet::DataEvent(event, info);
  }
};

// Every column type a setter may write straight into the record: a field
// written that way (A) and its twin with an OnValidate handler, which takes
// the general way (B), give the same bytes and null indicator in the record,
// the same events to a link, OnChange, the modified flag and a descendant's
// DataEvent, before and after the post.
TEST(DirectWrites, EveryTypeGivesTheGeneralWaysBytesAndEvents) {
  struct Case {
    Column column;
    std::function<void(TField*)> set;
  };
  const std::vector<Case> cases = {
      {{"", dtInteger, 4}, [](TField* f) { f->SetAsInteger(-123456); }},
      {{"", dtSmallint, 2}, [](TField* f) { f->SetAsInteger(-321); }},
      {{"", dtWord, 2}, [](TField* f) { f->SetAsInteger(65000); }},
      {{"", dtLargeint, 8}, [](TField* f) { f->SetAsLargeInt(int64_t{1} << 50); }},
      {{"", dtBoolean, 2}, [](TField* f) { f->SetAsBoolean(true); }},
      {{"", dtFloat, 8}, [](TField* f) { f->SetAsFloat(12.345); }},
      {{"", dtFloat, 8, 0, 2}, [](TField* f) { f->SetAsFloat(1.005); }},  // rounded to the scale
      {{"", dtCurrency, 8}, [](TField* f) { f->SetAsFloat(12.3456); }},
      {{"", dtString, 11, 10}, [](TField* f) { f->SetAsString("abcdefghijKLM"); }},  // cut
      {{"", dtString, 11, 10}, [](TField* f) { f->SetAsString(""); }},               // null
      {{"", dtString, 11, 10}, [](TField* f) { f->SetAsString("x"); }},
      {{"", dtDateTime, 8}, [](TField* f) { f->SetAsDateTime(45000.123456789); }},
      {{"", dtDateTime, 8}, [](TField* f) { f->SetAsDateTime(2958465.9999999); }},
      {{"", dtInteger, 4}, [](TField* f) { f->Clear(); }},
  };
  std::vector<Column> columns;
  for (size_t i = 0; i < cases.size(); ++i) {
    for (const char* side : {"A", "B"}) {
      Column column = cases[i].column;
      column.name = side + std::to_string(i);
      columns.push_back(column);
    }
  }
  ComponentPtr<TListeningDataSet> ds(MakeComponent<TListeningDataSet>(nullptr, columns));
  ds->Open();
  LinkRecorder link;
  link.SetDataSource(MakeComponent<TDataSource>(ds.get()));
  link.DataSource()->SetDataSet(ds.get());
  std::string changed;
  for (int i = 0; i < ds->Fields().Count(); ++i) {
    TField* field = ds->Fields().Fields(i);
    field->SetOnChange([&](TField* f) { changed += f->FieldName() + ";"; });
    if (field->FieldName()[0] == 'B') field->SetOnValidate([](TField*) {});
  }
  TData& data = *ds->Data();
  const auto bytes_of = [&](const std::string& name) {
    TFieldDesc* desc = data.GetFieldDescs().GetItems(ds->F(name)->FieldNo() - 1);
    const uint8_t* record = ds->ActiveBuffer();
    std::vector<uint8_t> bytes(record + desc->GetOffset(), record + desc->GetOffset() + desc->GetSize());
    bytes.push_back(record[data.GetDataSize() + desc->GetFieldNo() - 1]);  // the null indicator
    return bytes;
  };
  ds->Append();
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string a = "A" + std::to_string(i);
    const std::string b = "B" + std::to_string(i);
    SCOPED_TRACE(a);
    for (const std::string& name : {a, b}) {
      ds->SetModified(false);
      link.events.clear();
      changed.clear();
      ds->heard.clear();
      cases[i].set(ds->F(name));
      EXPECT_TRUE(ds->Modified());
      EXPECT_EQ(link.events, "F");
      EXPECT_EQ(changed, name + ";");
      EXPECT_EQ(ds->heard, name + ";");
    }
    EXPECT_EQ(bytes_of(a), bytes_of(b));
  }
  link.events.clear();
  ds->Post();
  EXPECT_EQ(link.events, "EC");
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string a = "A" + std::to_string(i);
    const std::string b = "B" + std::to_string(i);
    SCOPED_TRACE(a);
    EXPECT_EQ(bytes_of(a), bytes_of(b));
    EXPECT_EQ(ds->F(a)->IsNull(), ds->F(b)->IsNull());
    EXPECT_EQ(ds->F(a)->AsString(), ds->F(b)->AsString());
  }
  // Read back from the record set, the same.
  ds->UpdateCursorPos();
  ds->Resync({});
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(bytes_of("A" + std::to_string(i)), bytes_of("B" + std::to_string(i))) << i;
  }
}

// What decides a direct write may change between two writes of the same
// field: the field turns read-only or back, gets an OnValidate handler or
// loses it, or the dataset opens again over other columns. Each write must
// then do what the general way does, in an appended row and in an edited one.
TEST(DirectWrites, FollowWhatChangesBetweenTwoWrites) {
  struct Setter {
    const char* field;
    std::function<void(TField*, int)> set;  // the value for 1 and for 2
  };
  const std::vector<Setter> setters = {
      {"I", [](TField* f, int n) { f->SetAsInteger(100 + n); }},
      {"S", [](TField* f, int n) { f->SetAsString(std::string(static_cast<size_t>(n) * 7, 'a' + n)); }},
      {"F", [](TField* f, int n) { f->SetAsFloat(n + 0.25); }},
      {"D", [](TField* f, int n) { f->SetAsDateTime(45000.5 + n); }},
  };
  enum Change { kReadOnly, kWritable, kValidated, kUnvalidated, kRelaid };
  const std::vector<Column> first = {{"I", dtInteger, 4}, {"S", dtString, 11, 10}, {"F", dtFloat, 8},
                                     {"D", dtDateTime, 8}};
  const std::vector<Column> second = {{"X", dtLargeint, 8}, {"D", dtDateTime, 8}, {"F", dtFloat, 8},
                                      {"S", dtString, 21, 20}, {"I", dtInteger, 4}};
  for (const Setter& setter : setters) {
    for (Change change : {kReadOnly, kWritable, kValidated, kUnvalidated, kRelaid}) {
      for (bool edit : {false, true}) {
        SCOPED_TRACE(::testing::Message() << setter.field << " change " << change << (edit ? " edit" : " append"));
        auto ds = MakeDataSet(first);
        ds->Open();
        if (edit) {
          ds->Append();
          ds->Post();
        }
        int validated = 0;
        std::string seen;
        const auto validate = [&](TField* f) {
          ++validated;
          seen = f->AsString();
        };
        TField* field = ds->F(setter.field);
        if (change == kWritable) field->SetReadOnly(true);
        if (change == kUnvalidated) field->SetOnValidate(validate);
        if (edit) {
          ds->Edit();
        } else {
          ds->Append();
        }
        if (change == kWritable) {
          EXPECT_THROW(setter.set(field, 1), EDatabaseError);
          EXPECT_TRUE(field->IsNull());
        } else {
          setter.set(field, 1);
        }
        const std::string one = field->AsString();
        switch (change) {
          case kReadOnly: field->SetReadOnly(true); break;
          case kWritable: field->SetReadOnly(false); break;
          case kValidated: field->SetOnValidate(validate); break;
          case kUnvalidated: field->SetOnValidate(nullptr); break;
          case kRelaid:
            ds->Cancel();
            ds->Close();
            ds->Rows().columns = second;
            ds->Open();
            ASSERT_NE(ds->FindField("X"), nullptr);  // laid out anew
            field = ds->F(setter.field);
            if (edit) {
              ds->Append();
              ds->Post();
              ds->Edit();
            } else {
              ds->Append();
            }
            break;
        }
        const int validated_before = validated;
        if (change == kReadOnly) {
          try {
            setter.set(field, 2);
            ADD_FAILURE() << "a read-only field took a value";
          } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), std::string("Field '") + setter.field + "' cannot be modified");
          }
          EXPECT_EQ(field->AsString(), one);
          continue;
        }
        setter.set(field, 2);
        // The general way's value, as an identical field with a handler takes it.
        auto twin = MakeDataSet(change == kRelaid ? second : first);
        twin->Open();
        twin->Append();
        twin->F(setter.field)->SetOnValidate([](TField*) {});
        setter.set(twin->F(setter.field), 2);
        EXPECT_EQ(field->AsString(), twin->Text(setter.field));
        EXPECT_EQ(validated - validated_before, change == kValidated ? 1 : 0);
        if (change == kValidated) {
          EXPECT_EQ(seen, field->AsString());
        }
        ds->Post();
        EXPECT_EQ(field->AsString(), twin->Text(setter.field));
        EXPECT_EQ(ds->RecordCount(), 1);
      }
    }
  }
}

}  // namespace
}  // namespace dac
