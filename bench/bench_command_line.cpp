#include "bench/bench_command_line.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/program_usage.h"

namespace bench {

bool InitializeBenchmarks(int* argc, char** argv, const char* program, void (*help)()) {
  static char long_help[] = "--help";
  for (int i = 1; i < *argc; ++i)
    if (std::strcmp(argv[i], "-h") == 0) argv[i] = long_help;
  benchmark::Initialize(argc, argv, help);
  if (*argc <= 1) return true;
  const std::string word = argv[1];
  const std::string problem =
      plat::LooksLikeOption(word) ? "unrecognized option '" + word + "'" : "extra operand '" + word + "'";
  std::fputs(plat::UsageErrorText(program, problem).c_str(), stderr);
  return false;
}

void PrintBenchmarkOptions() {
  std::printf("\nGoogle Benchmark's options:\n");
  benchmark::PrintDefaultHelp();
}

}  // namespace bench
