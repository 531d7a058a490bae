// The prepared-statement packets byte by byte: the prepare reply, and the
// execute request with its NULL bitmap, type list and binary values.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dac/core/server/param_desc.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/currency.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/param_types.h"
#include "dac/mysql/client/wire/statement_protocol.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data_types.h"
#include "dac/store/runtime/memory_stream.h"
#include "tests/dac/mysql/client/wire/wire_samples.h"

namespace dac {
namespace {

using testing::AddParam;
using testing::Append;
using testing::Bytes;

struct Built {
  TBytes bytes;
  TBytes types;
};

Built Build(const TParamDescs& params, int placeholders, const TBytes& sent_last = {}, bool unicode = false) {
  MemoryStream stream(64);
  PacketWriter out(stream);
  ExecuteRequest request;
  request.statement_id = 0x01020304;
  request.param_count = placeholders;
  request.params = &params;
  request.types_sent_last = &sent_last;
  request.use_unicode = unicode;
  Built built;
  built.types = BuildExecute(out, request);
  built.bytes.assign(stream.GetBuffer().begin(), stream.GetBuffer().begin() + stream.GetLength());
  return built;
}

// Statement id, no cursor, one iteration.
const TBytes kHead = {0x04, 0x03, 0x02, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00};

TBytes Head(const TBytes& rest) {
  TBytes all = kHead;
  Append(all, rest);
  return all;
}

TEST(ExecutePacketTest, TypesGoOutOnlyWhenTheyChange) {
  TParamDescs params;
  AddParam(params, dtInteger, 5);
  AddParam(params, dtString, "ab");
  const Built first = Build(params, 2);
  EXPECT_EQ(first.bytes, Head({0x00, 0x01, 0x03, 0x00, 0xFD, 0x00, 5, 0, 0, 0, 2, 'a', 'b'}));
  const TBytes types = {0x03, 0x00, 0xFD, 0x00};
  EXPECT_EQ(first.types, types);

  EXPECT_EQ(Build(params, 2, types).bytes, Head({0x00, 0x00, 5, 0, 0, 0, 2, 'a', 'b'}));

  params.Items(0)->SetDataType(dtLargeint);
  EXPECT_EQ(Build(params, 2, types).bytes,
            Head({0x00, 0x01, 0x08, 0x00, 0xFD, 0x00, 5, 0, 0, 0, 0, 0, 0, 0, 2, 'a', 'b'}));
  // Signedness alone is a change: the flag byte is part of the list.
  params.Items(0)->SetDataType(dtUInt32);
  EXPECT_EQ(Build(params, 2, types).bytes, Head({0x00, 0x01, 0x03, 0x80, 0xFD, 0x00, 5, 0, 0, 0, 2, 'a', 'b'}));
}

TEST(ExecutePacketTest, NullsSetTheirBitAndSendNoValue) {
  TParamDescs params;
  for (int i = 0; i < 9; ++i) AddParam(params, dtInt8, static_cast<int8_t>(i));
  params.Items(0)->SetNull(true);
  params.Items(8)->SetNull(true);
  TBytes expected = {0x01, 0x01, 0x01};
  for (int i = 0; i < 9; ++i) Append(expected, {0x01, 0x00});
  Append(expected, {1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(Build(params, 9).bytes, Head(expected));
}

TEST(ExecutePacketTest, LeadingFunctionResultHasNoPlaceholderAndMismatchSendsNoParameters) {
  TParamDescs params;
  AddParam(params, dtInteger, 0, pdResult);
  AddParam(params, dtSmallint, -2);
  EXPECT_EQ(Build(params, 1).bytes, Head({0x00, 0x01, 0x02, 0x00, 0xFE, 0xFF}));
  // Two placeholders, one parameter: the server answers for it.
  EXPECT_EQ(Build(params, 2).bytes, kHead);
}

TEST(ExecutePacketTest, ValuesByType) {
  const std::u16string wide = u"\u00e9\u20ac";
  struct Case {
    const char* name;
    uint16_t type;
    Variant value;
    bool unicode;
    TBytes type_bytes;
    TBytes value_bytes;
  };
  const Case cases[] = {
      {"uint32 max", dtUInt32, uint32_t{4294967295u}, false, {0x03, 0x80}, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"word", dtWord, uint16_t{65535}, false, {0x03, 0x80}, {0xFF, 0xFF, 0x00, 0x00}},
      {"boolean", dtBoolean, true, false, {0x01, 0x00}, {0x01}},
      {"double", dtFloat, 1.5, false, {0x05, 0x00}, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},
      {"date", dtDate, Variant::FromDateTime(45000.0), false, {0x0A, 0x00}, {4, 0xE7, 0x07, 3, 15}},
      {"date-time", dtDateTime, Variant::FromDateTime(45000.75 + 0.5 / 86400.0), false, {0x0C, 0x00},
       {11, 0xE7, 0x07, 3, 15, 18, 0, 0, 0x20, 0xA1, 0x07, 0x00}},
      // The sign and the whole days travel: -01:30 and 36:00 arrive as they are.
      {"negative time", dtTime, Variant::FromDateTime(-1.5 / 24), false, {0x0B, 0x00},
       {12, 1, 0, 0, 0, 0, 1, 30, 0, 0, 0, 0, 0}},
      {"time beyond a day", dtTime, Variant::FromDateTime(1.5), false, {0x0B, 0x00},
       {12, 0, 1, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0}},
      {"bytes", dtBytes, TBytes{0, 0xFF}, true, {0xFC, 0x00}, {2, 0, 0xFF}},
      {"var bytes as text", dtVarBytes, "\xE9", true, {0xFC, 0x00}, {1, 0xE9}},
      {"8-bit text", dtString, std::string("a\0\xE9", 3), false, {0xFD, 0x00}, {3, 'a', 0, 0xE9}},
      {"8-bit text as UTF-8", dtString, "\xE9", true, {0xFD, 0x00}, {2, 0xC3, 0xA9}},
      {"wide text as UTF-8", dtWideString, wide, true, {0xFD, 0x00}, {5, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}},
      // Without UTF-8 wide text goes in the code page, never as UTF-16 bytes.
      {"wide text in the code page", dtWideString, wide, false, {0xFD, 0x00}, {2, 0xE9, 0x80}},
      {"unknown as its text", dtUnknown, 42, false, {0xFD, 0x00}, {2, '4', '2'}},
      {"external string", dtExtString, "x", false, {0xFD, 0x00}, {1, 'x'}},
      // Currency, GUIDs and variants as their text, bytes as bytes.
      {"currency", dtCurrency, Currency::FromRaw(-12345), false, {0xFD, 0x00}, {7, '-', '1', '.', '2', '3', '4', '5'}},
      {"currency given as text", dtCurrency, "0.10", false, {0xFD, 0x00}, {4, '0', '.', '1', '0'}},
      {"GUID", dtGuid, "{g}", true, {0xFD, 0x00}, {3, '{', 'g', '}'}},
      {"variant", dtVariant, 12, false, {0xFD, 0x00}, {2, '1', '2'}},
      {"external var bytes", dtExtVarBytes, TBytes{1, 0}, false, {0xFC, 0x00}, {2, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TParamDescs params;
    AddParam(params, c.type, c.value);
    TBytes expected = {0x00, 0x01};
    Append(expected, c.type_bytes);
    Append(expected, c.value_bytes);
    EXPECT_EQ(Build(params, 1, {}, c.unicode).bytes, Head(expected));
  }
}

TEST(ExecutePacketTest, BlobPiecesFollowOneAnotherThenTheNextParameter) {
  TBlob* blob = new TBlob();
  blob->SetPieceSize(4);
  for (const std::string part : {"abcd", "efgh", "ij"})
    blob->Write(blob->GetDataSize(), static_cast<uint32_t>(part.size()), part.data());
  ASSERT_NE(NextPiece(blob->FirstPiece()), nullptr);
  TParamDescs params;
  TParamDesc* param = AddParam(params, dtBlob, Variant());
  param->SetNull(false);
  param->SetObject(blob);
  AddParam(params, dtInt8, int8_t{7});
  const Built built = Build(params, 2);
  blob->Free();
  TBytes expected = {0x00, 0x01, 0xFD, 0x00, 0x01, 0x00, 10};
  Append(expected, Bytes("abcdefghij"));
  expected.push_back(7);
  EXPECT_EQ(built.bytes, Head(expected));
}

TEST(ExecutePacketTest, TypeWithoutEncodingFailsBeforeAnythingIsWritten) {
  // Objects, references, arrays and tables have no MySQL form; an unknown code is a programming error.
  for (uint16_t type : {dtObject, dtReference, dtArray, dtTable, uint16_t{99}}) {
    TParamDescs params;
    AddParam(params, type, 1);
    MemoryStream stream(16);
    PacketWriter out(stream);
    ExecuteRequest request;
    request.param_count = 1;
    request.params = &params;
    try {
      BuildExecute(out, request);
      ADD_FAILURE() << "type " << type << " was encoded";
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(type, 99);
      EXPECT_EQ(e.Text(), Format("Invalid internal field type $%X (%d)", type, type));
    } catch (const EDatabaseError& e) {
      EXPECT_NE(type, 99);
      EXPECT_EQ(e.Message(), Format("Data type is not supported: a parameter of type %d has no MySQL form", type));
    }
    EXPECT_EQ(stream.GetLength(), 0) << type;
  }
}

TEST(PrepareReplyTest, ParsesTheReplyAndRefusesAShortOne) {
  const TBytes reply = {0x00, 0x07, 0x00, 0x00, 0x00, 0x02, 0x00, 0x03, 0x00, 0x00, 0x01, 0x00};
  const PrepareOk ok = ParsePrepareOk(reply.data(), reply.size());
  EXPECT_EQ(ok.statement_id, 7u);
  EXPECT_EQ(ok.column_count, 2);
  EXPECT_EQ(ok.param_count, 3);
  EXPECT_EQ(ok.warning_count, 1);
  EXPECT_EQ(testing::ErrorCodeOf([&] { ParsePrepareOk(reply.data(), 6); }), kCrMalformedPacket);
  const TBytes not_ok = {0x01, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(testing::ErrorCodeOf([&] { ParsePrepareOk(not_ok.data(), not_ok.size()); }), kCrMalformedPacket);
}

}  // namespace
}  // namespace dac
