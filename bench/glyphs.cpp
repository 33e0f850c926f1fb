// drawText of a cached mixed CJK/Latin line against rendering the same
// glyphs with plain FreeType each time (no drawing), which is what a
// client without a glyph cache would pay per line.
#include <benchmark/benchmark.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>

#include "bench/time_table.h"
#include FT_FREETYPE_H

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "platform/font.h"

namespace {

// Twenty characters: ideographs, digits, Latin punctuation.
const std::u16string kLine = u"招商银行600036涨跌幅+2.35%股";
constexpr int kCellHeight = 14;

struct FtLibraryDeleter {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FtFaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct FcPatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};

std::string systemFaceFile() {
    std::unique_ptr<FcPattern, FcPatternDeleter> pattern(
        FcNameParse(reinterpret_cast<const FcChar8*>("WenQuanYi Micro Hei")));
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcPattern, FcPatternDeleter> match(
        FcFontMatch(nullptr, pattern.get(), &result));
    FcChar8* file = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) return {};
    return reinterpret_cast<const char*>(file);
}

void BM_DrawTextCached(benchmark::State& state) {
    std::string error;
    if (!zq::systemFontAvailable(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    zq::Surface surface(320, 40);
    zq::DeviceContext dc(surface);
    dc.selectFont(zq::getFont(kCellHeight));
    dc.setBackgroundMode(zq::BackgroundMode::Transparent);
    zq::Rect rect{0, 0, 320, 40};
    dc.drawText(kLine, rect, zq::kTextSingleLine);  // fills the glyph cache
    for (auto _ : state) {
        benchmark::DoNotOptimize(dc.drawText(kLine, rect, zq::kTextSingleLine));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawTextCached);

void BM_FreeTypeRenderEachTime(benchmark::State& state) {
    FT_Library rawLibrary = nullptr;
    if (FT_Init_FreeType(&rawLibrary) != 0) {
        state.SkipWithError("FreeType did not start");
        return;
    }
    std::unique_ptr<FT_LibraryRec_, FtLibraryDeleter> library(rawLibrary);
    FT_Face rawFace = nullptr;
    std::string file = systemFaceFile();
    if (file.empty() || FT_New_Face(library.get(), file.c_str(), 0, &rawFace) != 0) {
        state.SkipWithError("WenQuanYi Micro Hei not found");
        return;
    }
    std::unique_ptr<FT_FaceRec_, FtFaceDeleter> face(rawFace);
    FT_Size_RequestRec request{};
    request.type = FT_SIZE_REQUEST_TYPE_REAL_DIM;
    request.height = kCellHeight * 64;
    FT_Request_Size(face.get(), &request);
    std::vector<char32_t> chars;
    for (size_t pos = 0; pos < kLine.size();) chars.push_back(zq::nextChar(kLine, pos));
    for (auto _ : state) {
        for (char32_t ch : chars) {
            FT_Load_Char(face.get(), ch, FT_LOAD_RENDER | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT);
            benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
        }
    }
}
BENCHMARK(BM_FreeTypeRenderEachTime);

}  // namespace

int main(int argc, char** argv) {
    return zq::bench::runBenchmarks(argc, argv, [](const zq::bench::TimeTable& t) {
        const double ours = t.realNs("BM_DrawTextCached");
        const double reference = t.realNs("BM_FreeTypeRenderEachTime");
        if (ours <= 0 || reference <= 0) return;
        std::printf("\ndrawText (cached glyphs): %.0f ns per line; FreeType render: %.0f ns\n",
                    ours, reference);
        std::printf("ratio FreeType / drawText: %.1fx\n", reference / ours);
    });
}
