// ReplaceAll against the plain in-place erase on a "Transforms" value far
// larger than any real one: 8 Mi UTF-16 units holding the cached transform
// path 100,000 times between short filler entries. Each iteration works on a
// fresh copy; the copying is not timed.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>

#include "app/replace_all.h"
#include "reference_replace.h"

namespace {

constexpr std::size_t kTextUnits = std::size_t{8} << 20;
constexpr std::ptrdiff_t kOccurrences = 100000;
const std::wstring kPath =
    L"C:\\Windows\\Installer\\{6D2E47B1-0000-1033-0002-5A9C20F3E184}\\VelmoranTavix.mst";

// "path;filler;" repeated, the filler spread so the text is exactly
// kTextUnits long.
const std::wstring& Text() {
  static const std::wstring text = [] {
    const std::size_t entry = kPath.size() + 1;
    const std::size_t filler = kTextUnits - kOccurrences * entry;
    std::wstring t;
    t.reserve(kTextUnits);
    for (std::size_t i = 0; i < kOccurrences; ++i) {
      t += kPath;
      t += L';';
      const std::size_t share = (i + 1) * filler / kOccurrences - i * filler / kOccurrences;
      t.append(share - 1, static_cast<wchar_t>(L'A' + i % 26));
      t += L';';
    }
    return t;
  }();
  return text;
}

// Both contenders must have done the whole job, or their times mean nothing.
void Verify(benchmark::State& state, std::ptrdiff_t count, const std::wstring& text) {
  if (count != kOccurrences || text.size() != kTextUnits - kOccurrences * (kPath.size() + 1)) {
    state.SkipWithError("wrong result");
  }
}

// Times `remove` striking every "path;" out of a fresh copy of the text.
template <std::ptrdiff_t (*remove)(std::wstring&, const std::wstring&, const std::wstring&)>
void BM_Removal(benchmark::State& state) {
  const std::wstring pattern = kPath + L";";
  for (auto _ : state) {
    state.PauseTiming();
    std::wstring text = Text();
    state.ResumeTiming();
    const std::ptrdiff_t count = remove(text, pattern, L"");
    benchmark::DoNotOptimize(text.data());
    state.PauseTiming();
    Verify(state, count, text);
    state.ResumeTiming();
  }
}
BENCHMARK_TEMPLATE(BM_Removal, tavix::ReplaceAll)
    ->Name("ReplaceAll")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Removal, ReferenceReplaceAll)
    ->Name("PlainEraseInPlace")
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
