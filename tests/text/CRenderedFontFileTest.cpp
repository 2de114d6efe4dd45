#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "CORE/CFileFactory.h"
#include "CORE/CLogWindow.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "TEXT/CFontRenderer.h"
#include "TEXT/CRenderedFontFile.h"
#include "support/TestSupport.h"

using namespace kestrin;

namespace {

std::string Int32(int64_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF));
    return s;
}

// A PNG of w x h pixels: 8-bit grey with value f(x, y), or 32-bit with bytes (x, y, 7, f).
std::string Png(int w, int h, bool color32, int (*f)(int, int)) {
    CSurface s;
    EXPECT_FALSE(s.Init(w, h, color32 ? ISurface::kPixel32Alpha : ISurface::kPixel8, 0));
    for (int y = 0; y < h; ++y) {
        uint8_t* row = s.GetLine(y);
        for (int x = 0; x < w; ++x) {
            if (color32) {
                row[4 * x] = uint8_t(x), row[4 * x + 1] = uint8_t(y), row[4 * x + 2] = 7,
                        row[4 * x + 3] = uint8_t(f(x, y));
            } else {
                row[x] = uint8_t(f(x, y));
            }
        }
    }
    CPng png;
    CPng::SOutputBuffer out;
    out.capacity = 1024;
    out.data = new uint8_t[out.capacity];
    EXPECT_FALSE(png.Save(&s, out, 6));
    std::string bytes(reinterpret_cast<char*>(out.data), out.length);
    delete[] out.data;
    return bytes;
}

int Ramp(int x, int y) { return (x * 40 + y * 9) & 0xFF; }
int Full(int, int) { return 255; }

class RenderedFontTest : public ::testing::Test {
protected:
    void SetUp() override {
        CRenderedFontFile::ForgetCharsets();
        CFontRenderer::ResetCaches();
        CLogWindow::SetLineSink([this](const std::string& line) { log.push_back(line); });
        loaders.AddLoader(new CPng());
    }
    void TearDown() override {
        CLogWindow::SetLineSink(nullptr);
        CFontRenderer::ResetCaches();
        CRenderedFontFile::ForgetCharsets();
    }
    // Writes the glyph images and runs the font writer; returns the font's path.
    std::string Font(const std::string& name, const std::string& options,
                     const std::vector<std::pair<std::string, std::string>>& glyphs) {
        std::string command =
            std::string(KESTRIN_BINARY_DIR) + "/tools/krft " + options + " " + dir.Path() + "/" + name;
        for (size_t i = 0; i < glyphs.size(); ++i) {
            const std::string image = dir.Write("img" + std::to_string(i), glyphs[i].second);
            command += " " + glyphs[i].first + "=" + image;
        }
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return dir.Path() + "/" + name;
    }
    std::string Path(const std::string& name) const { return dir.Path() + "/" + name; }
    static std::string ReadWindow(CFile& f, unsigned ask) {
        std::string out(ask, '\0');
        const int n = f.Read(&out[0], ask);
        out.resize(n > 0 ? size_t(n) : 0);
        return out;
    }
    static std::vector<int> At(const CFontRenderer::CClippedSurface& cell, int x, int y) {
        const uint8_t* p = cell.GetSurface()->GetLine(cell.GetRect().GetY() + y) + 4 * (cell.GetRect().GetX() + x);
        return {p[0], p[1], p[2], p[3]};
    }

    kestrin_test::TempDir dir;
    CFileFactory files;
    CSurfaceFactory surfaces;
    CGraphicLoaders loaders{&files};
    std::vector<std::string> log;
};

}  // namespace

TEST(CRenderedFontFile, EntryOffsetsOfTheCodeTables) {
    const struct {
        const char* magic;
        bool unicode;
        uint16_t code;
        int64_t offset;  // -1: no entry
        // clang-format off
    } cases[] = {
        {"rft0", false, 0x21, 4},         {"rft0", false, 0x41, 4 + 8 * 0x20},
        {"rft0", false, 0x8140, -1},      {"rft0", false, 0x8141, 4 + 8 * (94 + 63)},
        {"rft1", false, 0x8140, 1260},    {"rft2", false, 0x8140, 1260},
        {"rft1", false, 0x20, -1},        {"rft1", false, 0xE040, 4 + 8 * (94 + 63 + 7869)},
        {"rft1", false, 0xF9FC, 4 + 8 * (94 + 63 + 7869 + 2661 + 2492)}, {"rft1", false, 0xFA40, -1},
        {"rft3", false, 0, 4},            {"rft3", false, 0x41, 4 + 8 * (1 + 0x20)},
        {"rft3", true, 0x3042, 98572},    {"rft3", true, 0x7F, -1},
        {"rft3", true, 0xD800, -1},       {"rft3", true, 0xFFFF, 4 + 8 * (1 + 94 + 55168 + 8191)},
        {"rft4", false, 0x41, -1},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.magic) + " " + std::to_string(c.code));
        int64_t offset = -1;
        const bool found = CRenderedFontFile::EntryOffset(c.magic, c.unicode, c.code, offset);
        EXPECT_EQ(found, c.offset >= 0);
        if (found) {
            EXPECT_EQ(offset, c.offset);
        }
    }
}

TEST_F(RenderedFontTest, WriterFilesOfEveryVersionOpenTheirGlyphs) {
    const std::string glyph = "glyph bytes of A";
    const struct {
        const char* options;
        uint16_t code;
        int32_t format;
        bool color32;
    } cases[] = {
        {"-m rft0", 0x41, 0, false},   {"-m rft1", 0x8140, 1, false},    {"-m rft2", 0x41, 1, true},
        {"-m rft3", 0x82A0, 3, false}, {"-m rft3 -u", 0x3042, 3, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string name = "f" + std::to_string(n++);
        Font(name + ".rft", c.options, {{std::to_string(c.code), glyph}, {"0x42", "B"}});
        CRenderedFontFile f(&files);
        ASSERT_FALSE(f.OpenGlyph(Path(name), c.code));  // found under name + ".rft"
        EXPECT_EQ(f.GetFormat(), c.format);
        EXPECT_EQ(f.IsColor32(), c.color32);
        EXPECT_EQ(f.Tell(), 0);
        EXPECT_EQ(f.GetSize(), int(glyph.size()));
        EXPECT_EQ(ReadWindow(f, 100), glyph);  // no more than the window
        EXPECT_EQ(f.Read(&n, 1), 0);
        // Seeks stay relative to the window.
        EXPECT_EQ(f.Seek(-5, 2), 0);
        EXPECT_EQ(ReadWindow(f, 100), " of A");
        EXPECT_EQ(f.Seek(6, 0), 0);
        EXPECT_EQ(f.Seek(-2, 1), 0);
        EXPECT_EQ(ReadWindow(f, 5), "h byt");
        EXPECT_EQ(f.Seek(-100, 1), 0);  // before the window: nothing moves
        EXPECT_EQ(f.Tell(), 9);
        std::unique_ptr<CFile> clone(f.Clone(true));
        EXPECT_EQ(clone->GetSize(), int(glyph.size()));
        EXPECT_EQ(clone->Seek(0, 0), 0);
        EXPECT_EQ(ReadWindow(*clone, 5), "glyph");
        EXPECT_TRUE(f.Open(Path(name + ".rft").c_str()));
        // A code without an image has an empty window; one outside the table none.
        ASSERT_FALSE(f.OpenGlyph(Path(name), 0x43));
        EXPECT_EQ(f.GetSize(), 0);
        EXPECT_TRUE(f.OpenGlyph(Path(name), 0x20));
        EXPECT_EQ(f.Close(), 0);
    }
    CRenderedFontFile f(&files);
    EXPECT_TRUE(f.OpenGlyph(Path("missing"), 0x41));
    EXPECT_TRUE(log.empty());
}

TEST_F(RenderedFontTest, Version3CharsetIsDecidedOncePerName) {
    // "utf-8" in lower case is not UTF-8: the Shift_JIS table.
    const std::string lower = Font("lower.rft", "-m rft3 -s CHARSET=utf-8", {{"0x82A0", "sjis"}});
    CRenderedFontFile f(&files);
    ASSERT_FALSE(f.OpenGlyph(lower, 0x82A0));
    EXPECT_EQ(ReadWindow(f, 10), "sjis");

    const std::string name = Font("same.rft", "-m rft3 -u", {{"0x3042", "unicode"}});
    ASSERT_FALSE(f.OpenGlyph(name, 0x3042));
    EXPECT_EQ(ReadWindow(f, 10), "unicode");
    // Replaced by a Shift_JIS file of the same name: the first decision holds.
    Font("same.rft", "-m rft3", {{"0x82A0", "sjis"}});
    ASSERT_FALSE(f.OpenGlyph(name, 0x3042));
    EXPECT_EQ(f.GetSize(), 0);
    CRenderedFontFile::ForgetCharsets();
    ASSERT_FALSE(f.OpenGlyph(name, 0x82A0));
    EXPECT_EQ(ReadWindow(f, 10), "sjis");
}

TEST_F(RenderedFontTest, DamagedFilesFailWithALogLine) {
    const std::string good = kestrin_test::ReadFileBytes(Font("good.rft", "-m rft1", {{"0x41", "AAAA"}}));
    const size_t entryA = 4 + 8 * 0x20;
    auto withEntry = [&](int64_t start, int64_t size) {
        std::string bytes = good;
        bytes.replace(entryA, 8, Int32(start) + Int32(size));
        return bytes;
    };
    std::string header3 = "rft3" + Int32(0x7FFFFFF0) + Int32(0x20);
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"short", "rft"},
        {"bad magic", "rft9" + good.substr(4)},
        {"cut index", good.substr(0, entryA + 4)},
        {"start past the end", withEntry(int64_t(good.size()), 1)},
        {"size past the end", withEntry(int64_t(good.size()) - 4, 5)},
        {"size wraps in 32 bits", withEntry(0x7FFFFFF0, 0x7FFFFFF0)},
        {"negative size", withEntry(0, -1)},
        {"negative start", withEntry(-8, 4)},
        {"header outside", header3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        const std::string path = dir.Write(std::string("bad_") + std::to_string(&c - cases) + ".rft", c.bytes);
        CRenderedFontFile f(&files);
        EXPECT_TRUE(f.OpenGlyph(path, 0x41));
        EXPECT_EQ(f.GetSize(), 0);
        EXPECT_EQ(f.Read(&f, 4), 0);
        EXPECT_EQ(log.size(), 1u);
    }
}

TEST_F(RenderedFontTest, GreyGlyphsTakeColoursAndEffects) {
    Font("fix_16.rft", "-m rft1", {{"0x41", Png(5, 6, false, Ramp)}, {"0x42", "not an image"}});
    CFontRenderer r(&surfaces, &loaders, &files);
    ASSERT_FALSE(r.OpenFont(true, Path("fix"), 128, 16, false, false, false, false));
    EXPECT_TRUE(r.IsRendered());
    EXPECT_EQ(r.GetRenderedFileName(), Path("fix") + "_16.rft");
    EXPECT_FALSE(r.IsColor32());
    const auto plain = r.GetGlyph(0x41, 0x112233, 0, 0);
    ASSERT_FALSE(plain.IsEmpty());
    EXPECT_EQ(plain.GetRect().GetWidth(), 5);
    EXPECT_EQ(plain.GetRect().GetHeight(), 6);
    EXPECT_EQ(At(plain, 3, 4), (std::vector<int>{0x33, 0x22, 0x11, Ramp(3, 4)}));

    r.SetShadow(true);
    const auto shaded = r.GetGlyph(0x41, 0xFFFFFF, 0x0000FF, 0);
    EXPECT_EQ(shaded.GetRect().GetWidth(), 6);
    EXPECT_EQ(At(shaded, 5, 6), (std::vector<int>{0xFF * Ramp(4, 5) >> 8, 0, 0, Ramp(4, 5)}));

    // A space outside the code table is a blank cell of the font's height; an empty entry
    // (0x8140 of this "rft1" file), another missing code or an undecodable glyph has none.
    EXPECT_EQ(r.GetGlyph(32, 0xFFFFFF, 0, 0).GetRect().GetWidth(), (16 + 1) / 2 + 1);
    EXPECT_EQ(r.GetGlyph(32, 0xFFFFFF, 0, 0).GetRect().GetHeight(), 17);
    EXPECT_TRUE(r.GetGlyph(0x8140, 0xFFFFFF, 0, 0).IsEmpty());
    EXPECT_TRUE(r.GetGlyph(0x43, 0xFFFFFF, 0, 0).IsEmpty());
    EXPECT_TRUE(r.GetGlyph(0x42, 0xFFFFFF, 0, 0).IsEmpty());
    Font("old_16.rft", "-m rft0", {{"0x41", Png(2, 2, false, Full)}});
    ASSERT_FALSE(r.OpenFont(true, Path("old"), 128, 16, false, false, false, false));
    const auto blank = r.GetGlyph(0x8140, 0xFFFFFF, 0, 0);  // "rft0" has no entry for it
    EXPECT_EQ(blank.GetRect().GetWidth(), 16);
    EXPECT_EQ(blank.GetRect().GetHeight(), 16);
    EXPECT_EQ(At(blank, 8, 8)[3], 0);

    // Neither a header nor an "A" (no such file): the font does not open.
    EXPECT_TRUE(r.OpenFont(true, Path("nothing"), 128, 16, false, false, false, false));
    EXPECT_TRUE(r.GetGlyph(0x41, 0xFFFFFF, 0, 0).IsEmpty());
}

TEST_F(RenderedFontTest, HeaderMetricsAndFinishedColourGlyphs) {
    Font("lined_10.rft", "-m rft3 -s UNDERSCORE_SIZE=2 -s UNDERSCORE_POSITION=4 -s STRIKEOUT_SIZE=1",
         {{"0x41", Png(3, 6, false, Full)}});
    CFontRenderer r(&surfaces, &loaders, &files);
    ASSERT_FALSE(r.OpenFont(true, Path("lined"), 128, 10, false, false, true, false));
    EXPECT_EQ(r.GetUnderlineRow(), 4);
    EXPECT_EQ(r.GetUnderlineSize(), 2);
    EXPECT_EQ(r.GetStrikeoutSize(), 1);
    EXPECT_EQ(r.GetStrikeoutRow(), 0);
    const auto cell = r.GetGlyph(0x41, 0x00FF00, 0, 0);
    EXPECT_EQ(At(cell, 1, 5), (std::vector<int>{0, 0xFF, 0, 255}));

    // rft2 and COLOR_32 headers: the image is copied as it is, whatever the colours.
    const std::string image = Png(4, 3, true, Ramp);
    Font("color_12.rft", "-m rft2", {{"0x41", image}});
    Font("header_12.rft", "-m rft3 -s COLOR_32=1", {{"0x41", image}, {"0x42", Png(4, 3, false, Full)}});
    for (const char* face : {"color", "header"}) {
        SCOPED_TRACE(face);
        ASSERT_FALSE(r.OpenFont(true, Path(face), 128, 12, false, false, true, true));
        r.SetShadow(true);
        r.SetOutline(true);
        EXPECT_TRUE(r.IsColor32());
        const auto c = r.GetGlyph(0x41, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF);
        ASSERT_FALSE(c.IsEmpty());
        EXPECT_EQ(c.GetRect().GetWidth(), 4);
        EXPECT_EQ(c.GetRect().GetHeight(), 3);
        EXPECT_EQ(At(c, 2, 1), (std::vector<int>{2, 1, 7, Ramp(2, 1)}));
    }
    // An 8-bit image in a 32-bit font does not decode into a cell.
    EXPECT_TRUE(r.GetGlyph(0x42, 0xFFFFFF, 0, 0).IsEmpty());
}

TEST_F(RenderedFontTest, GlyphLargerThanAPageIsEmptyAndNotCached) {
    Font("wide_8.rft", "-m rft1", {{"0x41", Png(600, 4, false, Full)}, {"0x42", Png(512, 4, false, Full)}});
    CFontRenderer r(&surfaces, &loaders, &files);
    ASSERT_FALSE(r.OpenFont(true, Path("wide"), 128, 8, false, false, false, false));
    const size_t before = CFontRenderer::GetCachedGlyphCount();
    EXPECT_TRUE(r.GetGlyph(0x41, 0xFFFFFF, 0, 0).IsEmpty());
    EXPECT_EQ(CFontRenderer::GetCachedGlyphCount(), before);
    EXPECT_FALSE(r.GetGlyph(0x42, 0xFFFFFF, 0, 0).IsEmpty());  // exactly a page wide fits
    r.SetShadow(true);
    EXPECT_TRUE(r.GetGlyph(0x42, 0xFFFFFF, 0, 0).IsEmpty());  // its shadow does not
}
