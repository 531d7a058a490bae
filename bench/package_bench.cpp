// The package reader on the road of every packed reply: descrambling against a
// plain copy of the same bytes, and opening a large package and finding
// entries in it by name.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "content/package_scramble.h"
#include "content/xor_file_stream.h"
#include "tests/support/test_folder.h"

namespace {

std::string Bytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 131 + i / 7);
  return bytes;
}

// The yardstick: copying the bytes once.
void BM_Memcpy(benchmark::State& state) {
  const std::string source = Bytes(static_cast<size_t>(state.range(0)));
  std::string target(source.size(), '\0');
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Memcpy)->Arg(64 << 10)->Arg(16 << 20);

// Unscrambling an entry in place, at an odd key phase.
void BM_Descramble(benchmark::State& state) {
  std::string bytes = Bytes(static_cast<size_t>(state.range(0)));
  const content::TScrambleKey key(content::kPackageKey);
  for (auto _ : state) {
    key.Apply(bytes.data(), bytes.size(), 37);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Descramble)->Arg(64 << 10)->Arg(16 << 20);

// Opening a package of range(0) entries and looking 10,000 names up in it.
void BM_PackageOpenAndLookup(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  plat::testing::TestFolder folder;
  const std::string path = folder.path() + "/course.vrn";
  {
    content::TXORFileStream writer(path, content::TXORFileStream::kCreate, content::kPackageKey);
    for (int i = 0; i < entries; ++i) writer.AddFile("Page_" + std::to_string(i) + ".html", "<p/>");
    writer.Finish();
  }
  std::vector<std::string> names;
  for (int i = 0; i < 10000; ++i) names.push_back("PAGE_" + std::to_string((i * 7919) % entries) + ".HTML");
  for (auto _ : state) {
    const content::TXORFileStream package(path, content::TXORFileStream::kRead, content::kPackageKey);
    int64_t found = 0;
    for (const std::string& name : names) found += package.GetFileSize(name);
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_PackageOpenAndLookup)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
