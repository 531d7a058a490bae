// The command line of a benchmark with settings of its own: Google
// Benchmark's options, -h as --help, and a help text that names the
// program's environment settings before Google Benchmark's options.
#pragma once

namespace bench {

// Google Benchmark's Initialize with `help` as its help printer: -h and
// --help print it and exit 0. Any argument left that Google Benchmark does
// not take is a usage error: named on standard error, and false returned
// for the program to exit 2.
bool InitializeBenchmarks(int* argc, char** argv, const char* program, void (*help)());

// The lines that introduce Google Benchmark's own options in a help text,
// followed by them.
void PrintBenchmarkOptions();

}  // namespace bench
