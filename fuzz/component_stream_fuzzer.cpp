// A component stream (after a byte that picks its reader): a variant, a
// collection of parameters or of macros, an SQL component with its
// ParamData and MacroData, or the properties of macros (their "Data") or of
// one parameter. A stream either reads or raises EReadError, and a failed
// collection keeps the items it had. What reads is written back: a variant
// byte for byte, anything else to a stream that reads again and writes the
// same bytes once more.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "dac/core/da_param.h"
#include "dac/core/macros.h"
#include "dac/core/sql_component.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/streams.h"
#include "dac/framework/data/filer.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/owned_component.h"
#include "platform/ascii.h"

namespace fuzz {
namespace {

using Bytes = std::string;

// The bytes as a stream at its start.
struct Input {
  explicit Input(const Bytes& bytes) {
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
  }
  dac::TMemoryStream stream;
};

Bytes Written(const std::function<void(dac::TWriter&)>& write) {
  dac::TMemoryStream stream;
  dac::TWriter writer(stream);
  write(writer);
  return Bytes(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

using Documented = bool (*)(const dac::Exception&);

// Runs read over the bytes: true when it read, false on EReadError (or an
// error the reader documents as well); any other failure is a finding.
bool Reads(const Bytes& bytes, const std::function<void(dac::TReader&)>& read, int64_t* consumed = nullptr,
           Documented documented = nullptr) {
  Input input(bytes);
  dac::TReader reader(input.stream);
  try {
    read(reader);
  } catch (const dac::Exception& e) {
    if (!dynamic_cast<const dac::EReadError*>(&e) && !(documented && documented(e))) ReportUnexpected(e.Message());
    RequireShortMessage(e.Message());
    return false;
  }
  if (consumed) *consumed = input.stream.GetPosition();
  return true;
}

void VariantStream(const Bytes& bytes) {
  dac::Variant value;
  int64_t consumed = 0;
  if (!Reads(bytes, [&](dac::TReader& r) { value = r.ReadVariant(); }, &consumed)) return;
  const Bytes again = Written([&](dac::TWriter& w) { w.WriteVariant(value); });
  Require(again == bytes.substr(0, static_cast<size_t>(consumed)), "a variant is written back other than it was read");
}

// What a collection held before a read, to compare with after a failed one.
template <typename Collection>
std::string Held(Collection& collection) {
  return Written([&](dac::TWriter& w) { w.WriteCollection(collection); });
}

// Parameters of one name share the value of the first of them unless a
// stream gives one its own, and a value that is not bound is not filed: so
// only parameters of distinct names must read back exactly.
bool DistinctNames(const dac::TDAParams& params) {
  std::set<std::string> names;
  for (int i = 0; i < params.Count(); ++i)
    if (!names.insert(plat::AsciiUpperCase(params.Items(i)->Name())).second) return false;
  return true;
}
bool DistinctNames(const dac::TMacros&) { return true; }

template <typename Collection>
void CollectionStream(const Bytes& bytes, const std::function<void(Collection&)>& fill) {
  Collection collection;
  fill(collection);
  const std::string before = Held(collection);
  if (!Reads(bytes, [&](dac::TReader& r) { r.ReadCollection(collection); })) {
    Require(Held(collection) == before, "a failed read changed the collection");
    return;
  }
  if (!DistinctNames(collection)) return;
  const Bytes first = Held(collection);
  Collection again;
  Require(Reads(first, [&](dac::TReader& r) { r.ReadCollection(again); }), "a written collection does not read");
  Require(Held(again) == first, "a collection read back writes other bytes");
}

void FillParams(dac::TDAParams& params) {
  params.CreateParam(dac::ftString, "kept", dac::ptInput)->SetAsString("value");
}

void FillMacros(dac::TMacros& macros) {
  auto* macro = static_cast<dac::TMacro*>(macros.Add());
  macro->SetName("kept");
  macro->SetValue("value");
}

// The component is loaded from the stream, then written, read into a fresh
// one and written again.
void ComponentStream(const Bytes& bytes) {
  Owned<dac::TCustomDASQL> sql;
  if (!Reads(bytes, [&](dac::TReader& r) { r.ReadComponent(*sql); })) {
    Require(!sql->ComponentState().Contains(dac::csLoading), "a failed read leaves the component loading");
    return;
  }
  if (!DistinctNames(sql->Params())) return;
  const Bytes first = Written([&](dac::TWriter& w) { w.WriteComponent(*sql); });
  Owned<dac::TCustomDASQL> again;
  Require(Reads(first, [&](dac::TReader& r) { r.ReadComponent(*again); }), "a written component does not read");
  Require(Written([&](dac::TWriter& w) { w.WriteComponent(*again); }) == first,
          "a component read back writes other bytes");
}

// Macro data names macros that must exist.
bool MacroNotFound(const dac::Exception& e) {
  const std::string& m = e.Message();
  return dynamic_cast<const dac::EDatabaseError*>(&e) && m.starts_with("Macro ") && m.ends_with(" not found");
}

// The macros of an SQL text take their values from a "Data" property; the
// names stay, and no value is longer than the property keeps.
void MacroProperties(const Bytes& bytes) {
  dac::TMacros macros;
  macros.Scan("SELECT &a FROM &b WHERE &c");
  if (!Reads(bytes, [&](dac::TReader& r) { r.ReadProperties(macros); }, nullptr, MacroNotFound)) return;
  Require(macros.Count() == 3, "macro data changed the macros");
  for (int i = 0; i < macros.Count(); ++i)
    Require(macros.Items(i)->Value().size() <= 1000, "a macro value longer than macro data keeps");
}

void ParamProperties(const Bytes& bytes) {
  dac::TDAParams params;
  dac::TDAParam* param = params.CreateParam(dac::ftUnknown, "", dac::ptUnknown);
  if (!Reads(bytes, [&](dac::TReader& r) { r.ReadProperties(*param); })) return;
  const Bytes first = Written([&](dac::TWriter& w) { w.WriteProperties(*param); });
  dac::TDAParams other;
  dac::TDAParam* again = other.CreateParam(dac::ftUnknown, "", dac::ptUnknown);
  Require(Reads(first, [&](dac::TReader& r) { r.ReadProperties(*again); }), "written properties do not read");
  Require(Written([&](dac::TWriter& w) { w.WriteProperties(*again); }) == first,
          "properties read back write other bytes");
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const fuzz::Bytes bytes(fuzz::AsText(data + 1, size - 1));
  switch (data[0] % 6) {
    case 0: fuzz::VariantStream(bytes); break;
    case 1: fuzz::CollectionStream<dac::TDAParams>(bytes, fuzz::FillParams); break;
    case 2: fuzz::CollectionStream<dac::TMacros>(bytes, fuzz::FillMacros); break;
    case 3: fuzz::ComponentStream(bytes); break;
    case 4: fuzz::MacroProperties(bytes); break;
    default: fuzz::ParamProperties(bytes); break;
  }
  return 0;
}
