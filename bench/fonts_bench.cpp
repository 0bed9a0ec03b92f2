// Loadable fonts: converting the character set of a long Russian novel (about
// 1 MB of text) into three fonts, the work WriteFonts does for one midlet.
#include "config/bConfig.h"
#include "core/bObject.h"
#include "core/bVar.h"
#include "midlet/bMidlet.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

using namespace paginor;
namespace fs = std::filesystem;

namespace {

// The distinct characters of such a book: the Russian alphabet, ASCII, and
// the typography of a carefully set text.
std::u16string CyrillicBookCharset() {
    std::u16string charset;
    for (char16_t c = u'\u0410'; c <= u'\u044f'; ++c)
        charset += c;
    charset += u"\u0401\u0451";
    for (char16_t c = 0x20; c < 0x7f; ++c)
        charset += c;
    charset += u"\u00ab\u00bb\u2014\u2013\u2026\u201e\u201c\u201d\u2116\u00a0\u00b0\u00a7";
    charset += u"\r\n";
    return charset;
}

void ConvertBookFontsInThreeFaces(benchmark::State& state) {
    const fs::path folder =
        fs::temp_directory_path() / ("paginor_bench_fonts_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::u16string charset = CyrillicBookCharset();
    const TFontDesc fonts[] = {{u"Arial", 10, false, false},
                               {u"Times New Roman", 12, true, false},
                               {u"DejaVu Sans", 9, false, true}};
    TBookConfig config;
    TBookMidlet midlet(config);
    for (auto _ : state) {
        int pieces = 0;
        for (int f = 0; f < 3; ++f)
            pieces += midlet.ConvertFont(charset, fonts[f], f, FromPath(folder));
        benchmark::DoNotOptimize(pieces);
    }
    state.SetItemsProcessed(state.iterations() * 3 * static_cast<int64_t>(charset.size()));
    fs::remove_all(folder);
}
BENCHMARK(ConvertBookFontsInThreeFaces)->Unit(benchmark::kMillisecond);

} // namespace
