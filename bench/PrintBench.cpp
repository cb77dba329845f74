// Formatting benchmark: the print engine against glibc vsnprintf and stb_sprintf on one table of
// formats (the modules' own messages and the integer cases all three support).
//
// Every formatter is called through the same non-inlined va_list trampoline. Before timing, each row
// is formatted by all three and the texts must be identical; a row's formats differ only where the
// languages differ (hex digits are always upper case here, so the others get %X; a line feed here
// becomes CR LF, so the others get "\r\n"; 'l' here is "ll" there; %a here is %s there).
// The summary gives each formatter's median time per row and the ratio glibc time / engine time
// (above 1: the engine is faster).
#include <benchmark/benchmark.h>
#include <stb/stb_sprintf.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Library/PrintLib.h"

namespace {

using VFormatter = int (*)(char *Buffer, size_t Size, const char *Format, va_list Arguments);

__attribute__((noinline)) int Trampoline(VFormatter Formatter, char *Buffer, size_t Size, const char *Format, ...) {
  va_list Arguments;
  va_start(Arguments, Format);
  const int Length = Formatter(Buffer, Size, Format, Arguments);
  va_end(Arguments);
  return Length;
}

int ZarnFormatter(char *Buffer, size_t Size, const char *Format, va_list Arguments) {
  return static_cast<int>(AsciiVFormat(Buffer, Size, Format, Arguments));
}

int GlibcFormatter(char *Buffer, size_t Size, const char *Format, va_list Arguments) {
  return std::vsnprintf(Buffer, Size, Format, Arguments);
}

int StbFormatter(char *Buffer, size_t Size, const char *Format, va_list Arguments) {
  return stbsp_vsnprintf(Buffer, static_cast<int>(Size), Format, Arguments);
}

struct Formatter {
  const char *name;
  VFormatter function;
  bool ours;
};
const Formatter Formatters[] = {
    {"zarn", ZarnFormatter, true},
    {"glibc", GlibcFormatter, false},
    {"stb", StbFormatter, false},
};
constexpr size_t FormatterCount = std::size(Formatters);

struct Row {
  const char *name;
  const char *zarnFormat;
  const char *stdFormat;
  int (*invoke)(VFormatter Formatter, char *Buffer, size_t Size, const char *Format);
};

#define ROW(Name, ZarnFormat, StdFormat, ...)                                        \
  Row {                                                                              \
    Name, ZarnFormat, StdFormat, [](VFormatter F, char *B, size_t N, const char *Fmt) { \
      return Trampoline(F, B, N, Fmt __VA_OPT__(, ) __VA_ARGS__);                    \
    }                                                                                \
  }

const Row Rows[] = {
    ROW("%d", "%d", "%d", 123456),
    ROW("%d negative", "%d", "%d", -987654),
    ROW("%u", "%u", "%u", 4000000000u),
    ROW("%x", "%x", "%X", 0xDEADBEEFu),
    ROW("%X", "%X", "%X", 0x1Fu),
    ROW("%08x", "%08x", "%08X", 0x1Fu),
    ROW("width %8d", "%8d", "%8d", 42),
    ROW("left %-8d", "%-8d|", "%-8d|", 42),
    ROW("precision %.5d", "%.5d", "%.5d", 42),
    ROW("sign %+d", "%+d", "%+d", 42),
    ROW("64-bit %ld", "%ld", "%lld", -1234567890123456789LL),
    ROW("64-bit %lu", "%lu", "%llu", 18446744073709551615ULL),
    ROW("64-bit %lx", "%lx", "%llX", 0x0123456789ABCDEFULL),
    ROW("string %a", "%a", "%s", "MdePkg/Library/PeiHobLib/HobLib"),
    ROW("string %-20a", "%-20a|", "%-20s|", "QuilkeepDriverEntry"),
    ROW("plain message", "BuildHobInfo: BuildHobMemoryConfigInfoData FAILED!\n",
        "BuildHobInfo: BuildHobMemoryConfigInfoData FAILED!\r\n"),
    ROW("hole type message", "BuildHobInfo: Unsupported hole type %d at entry %d\n",
        "BuildHobInfo: Unsupported hole type %d at entry %d\r\n", 7, 12),
    ROW("range dump line", "    Base Hi: 0x%08x\n", "    Base Hi: 0x%08X\r\n", 0x00000001u),
    ROW("assertion report", "ASSERT [%a] %a(%d): %a\n", "ASSERT [%s] %s(%d): %s\r\n", "Quilkeep",
        "MdePkg/Library/PeiHobLib/HobLib", 214, "HobList != ((void *) 0)"),
};
constexpr size_t RowCount = std::size(Rows);

const char *FormatOf(const Row &Row, const Formatter &Formatter) {
  return Formatter.ours ? Row.zarnFormat : Row.stdFormat;
}

// Every row must give the same text from all three formatters before anything is timed.
bool TextsAgree() {
  bool agree = true;
  for (const Row &row : Rows) {
    char texts[FormatterCount][256];
    for (size_t f = 0; f < FormatterCount; f++) {
      std::memset(texts[f], 0, sizeof texts[f]);
      row.invoke(Formatters[f].function, texts[f], sizeof texts[f], FormatOf(row, Formatters[f]));
    }
    for (size_t f = 1; f < FormatterCount; f++) {
      if (std::strcmp(texts[0], texts[f]) != 0) {
        std::fprintf(stderr, "row \"%s\": zarn gives \"%s\", %s gives \"%s\"\n", row.name, texts[0],
                     Formatters[f].name, texts[f]);
        agree = false;
      }
    }
  }
  return agree;
}

// Keeps the median of every row and formatter while the console reporter prints as usual.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> medians;  // nanoseconds by benchmark name
  void ReportRuns(const std::vector<Run> &reports) override {
    for (const Run &run : reports) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians[run.run_name.function_name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(reports);
  }
};

std::string BenchmarkName(size_t RowIndex, size_t FormatterIndex) {
  return std::string(Rows[RowIndex].name) + "/" + Formatters[FormatterIndex].name;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void PrintSummary(const MedianReporter &Reporter) {
  std::printf("\nMedian CPU time per call (ns) and speed relative to glibc vsnprintf (glibc time / time)\n");
  std::printf("%-22s %9s %9s %9s %11s %10s\n", "row", "zarn", "glibc", "stb", "glibc/zarn", "glibc/stb");
  std::vector<double> zarnRatios;
  std::vector<double> stbRatios;
  double worst = 0;
  const char *worstRow = "";
  for (size_t r = 0; r < RowCount; r++) {
    double ns[FormatterCount];
    bool complete = true;
    for (size_t f = 0; f < FormatterCount; f++) {
      const auto it = Reporter.medians.find(BenchmarkName(r, f));
      complete = complete && it != Reporter.medians.end();
      ns[f] = complete ? it->second : 0;
    }
    if (!complete) continue;
    const double zarnRatio = ns[1] / ns[0];
    const double stbRatio = ns[1] / ns[2];
    zarnRatios.push_back(zarnRatio);
    stbRatios.push_back(stbRatio);
    if (worst == 0 || zarnRatio < worst) {
      worst = zarnRatio;
      worstRow = Rows[r].name;
    }
    std::printf("%-22s %9.1f %9.1f %9.1f %11.2f %10.2f\n", Rows[r].name, ns[0], ns[1], ns[2], zarnRatio, stbRatio);
  }
  if (zarnRatios.empty()) return;
  const double medianRatio = Median(zarnRatios);
  std::printf("%-22s %9s %9s %9s %11.2f %10.2f\n", "median of rows", "", "", "", medianRatio, Median(stbRatios));
  std::printf("\nGoal: median glibc/zarn >= 1.00: %.2f, %s\n", medianRatio, medianRatio >= 1.0 ? "met" : "MISSED");
  std::printf("Goal: no row more than 1.5x slower than glibc (glibc/zarn >= 0.67): worst %.2f (%s), %s\n", worst,
              worstRow, worst >= 1.0 / 1.5 ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char **argv) {
  if (!TextsAgree()) {
    std::fprintf(stderr, "the formatters disagree; nothing timed\n");
    return 1;
  }
  std::printf("All %zu rows give the same text from zarn, glibc and stb.\n", RowCount);

  for (size_t r = 0; r < RowCount; r++) {
    for (size_t f = 0; f < FormatterCount; f++) {
      const Row *row = &Rows[r];
      const Formatter *formatter = &Formatters[f];
      benchmark::RegisterBenchmark(BenchmarkName(r, f).c_str(),
                                   [row, formatter](benchmark::State &state) {
                                     char buffer[256];
                                     const char *format = FormatOf(*row, *formatter);
                                     for (auto _ : state) {
                                       benchmark::DoNotOptimize(
                                           row->invoke(formatter->function, buffer, sizeof buffer, format));
                                       benchmark::ClobberMemory();
                                     }
                                   })
          ->Repetitions(5)
          ->MinTime(0.05)
          ->ReportAggregatesOnly(true);
    }
  }

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  PrintSummary(reporter);
  return 0;
}
