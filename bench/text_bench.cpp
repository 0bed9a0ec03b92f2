// Throughput of the tag analysis, formatting and part division on a large
// book: about 10 MB of text with over 100,000 tags of every kind.
#include "config/bConfig.h"
#include "core/bVar.h"
#include "text/bText.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

namespace {

using paginor::TBookConfig;
using paginor::TBookText;

std::u16string LargeTaggedBook() {
    const std::u16string words =
        u"The quick brown fox jumps over the lazy dog, and then it runs far away.\r\n";
    std::u16string text = u"<#tableofcontent>\r\n";
    text.reserve(10'500'000);
    for (int chapter = 0; text.size() < 10'000'000; ++chapter) {
        const std::u16string n = paginor::IntToStr(chapter);
        text += u"<#header 1>Chapter " + n + u"<#/header>\r\n<#label c" + n + u">";
        for (int line = 0; line < 8; ++line)
            text += words;
        text += u"See <#link label c" + n +
                u">the start<#/link>, <#link http www.example.org/library/tide-clock/chapter-" + n +
                u">a page<#/link> and <#image p" + n + u".png>.\r\n";
    }
    return text;
}

TBookConfig BenchConfig() {
    TBookConfig config;
    config.TagsForced = true;
    config.FormatEn = false;
    config.TextPartSize = 200'000;
    config.TextPartCount = 0;
    return config;
}

void AnalyseLargeBook(benchmark::State& state) {
    const std::u16string source = LargeTaggedBook();
    TBookConfig config = BenchConfig();
    config.FormatEn = state.range(0) != 0;
    for (auto _ : state) {
        TBookText book(source, config);
        benchmark::DoNotOptimize(book.Text.data());
    }
    state.counters["tags"] = static_cast<double>(std::count(source.begin(), source.end(), u'<'));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size() * 2));
}
BENCHMARK(AnalyseLargeBook)->Arg(0)->Arg(1)->ArgName("format")->Unit(benchmark::kMillisecond);

// Every part holds a record for every link id of the book; the targets of the
// records are copied only into the part that shows them, so the cost grows
// with the parts times the records, not times the size of all targets.
void SplitLargeBook(benchmark::State& state) {
    TBookConfig config = BenchConfig();
    const TBookText book(LargeTaggedBook(), config);
    config.TextPartSize = static_cast<int>(book.Length / state.range(0));
    size_t partCount = 0;
    for (auto _ : state) {
        auto parts = book.SplitIntoParts();
        partCount = parts.size();
        benchmark::DoNotOptimize(parts.data());
    }
    state.counters["parts"] = static_cast<double>(partCount);
    state.counters["records"] = static_cast<double>(book.Links.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * book.Text.size() * 2));
}
BENCHMARK(SplitLargeBook)->Arg(10)->Arg(50)->ArgName("parts")->Unit(benchmark::kMillisecond);

void CharsetOfLargeBook(benchmark::State& state) {
    const TBookConfig config = BenchConfig();
    const TBookText book(LargeTaggedBook(), config);
    for (auto _ : state)
        benchmark::DoNotOptimize(book.BuildCharset());
}
BENCHMARK(CharsetOfLargeBook)->Unit(benchmark::kMillisecond);

} // namespace
