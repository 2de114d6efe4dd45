#include "CORE/CFile.h"
#include "CORE/CFileFactory.h"
#include "CORE/CLogWindow.h"
#include "CORE/COruPackFileFactory.h"
#include "CORE/CPackFile.h"
#include "CORE/FileFunctions.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CJpg.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace kestrin;
using kestrin_test::ReadFileBytes;
using kestrin_test::TestDataPath;

namespace {

std::string Fixture(const std::string& name) { return ReadFileBytes(TestDataPath("graphics/" + name)); }

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// The pixels of a binary PNM file (after its three header fields).
std::string PnmPixels(const std::string& pnm) {
    size_t pos = 0;
    for (int field = 0; field < 4; ++field) {
        while (pos < pnm.size() && isspace(static_cast<unsigned char>(pnm[pos]))) ++pos;
        while (pos < pnm.size() && !isspace(static_cast<unsigned char>(pnm[pos]))) ++pos;
    }
    return pnm.substr(pos + 1);
}

// Loads a fixture through an engine file, as the loaders get it.
bool LoadThroughFile(IGraphicLoader& loader, CSurface& surface, const std::string& name) {
    CFile file;
    if (file.Open(TestDataPath("graphics/" + name).c_str())) return true;
    return loader.Load(&surface, &file);
}

// The surface's pixels, rows concatenated.
std::string Pixels(CSurface& s) {
    std::string out;
    for (int y = 0; y < s.GetHeight(); ++y)
        out.append(reinterpret_cast<const char*>(s.GetLine(y)), size_t(s.GetPitch()));
    return out;
}

// Makes a PNG chunk with its length and CRC.
std::string Chunk(const std::string& type, const std::string& data) {
    std::string out(4, '\0');
    const uint32_t n = uint32_t(data.size());
    out[0] = char(n >> 24), out[1] = char(n >> 16), out[2] = char(n >> 8), out[3] = char(n);
    const std::string body = type + data;
    out += body;
    const uint32_t crc = uint32_t(crc32(0, Bytes(body), uInt(body.size())));
    for (int s = 24; s >= 0; s -= 8) out += char(crc >> s);
    return out;
}

}  // namespace

TEST(CPng, DecodesLikeImageMagick) {
    // Expected pixels: `convert x.png bgra:-` (tools/make-image-fixtures.sh).
    struct Case {
        const char* name;
        int32_t bits;
    } cases[] = {{"rgb", 1}, {"rgba", 2}, {"grey", 0}, {"interlaced", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPng png;
        CSurface s;
        ASSERT_FALSE(LoadThroughFile(png, s, std::string("png/") + c.name + ".png"));
        EXPECT_EQ(s.GetWidth(), 13);
        EXPECT_EQ(s.GetHeight(), 9);
        EXPECT_EQ(s.GetPixelBits(), c.bits);
        const std::string expected = Fixture(std::string("png/") + c.name + ".bgra");
        ASSERT_EQ(expected.size(), 13u * 9u * 4u);
        std::string got = Pixels(s);
        if (c.bits == 0) {
            std::string grey;
            for (size_t i = 0; i < expected.size(); i += 4) grey += expected[i];
            EXPECT_EQ(got, grey);
        } else {
            EXPECT_EQ(got, expected);  // RGB gets 0xFF in byte 3, as ImageMagick reports
        }
    }
}

TEST(CPng, RefusesUnsupportedBrokenAndOversizedImages) {
    for (const char* name : {"png/palette.png", "png/rgb16.png", "png/greyalpha.png", "jpeg/color.jpg"}) {
        CPng png;
        CSurface s;
        EXPECT_TRUE(LoadThroughFile(png, s, name)) << name;
    }
    // Every truncation of a good file fails, without reading past the data (ASan checks).
    const std::string good = Fixture("png/rgb.png");
    for (size_t n = 0; n < good.size(); ++n) {
        CPng png;
        CSurface s;
        EXPECT_TRUE(png.LoadFromMemory(&s, Bytes(good), n)) << n;
    }
    // A flipped bit inside the image data.
    std::string corrupt = good;
    corrupt[good.find("IDAT") + 10] ^= 0x40;
    CPng png;
    CSurface s;
    EXPECT_TRUE(png.LoadFromMemory(&s, Bytes(corrupt), corrupt.size()));

    // A valid header announcing 100000 x 100000 pixels is refused before any allocation.
    std::string ihdr;
    ihdr.assign("\x00\x01\x86\xa0\x00\x01\x86\xa0\x08\x06\x00\x00\x00", 13);
    const std::string huge =
        std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + good.substr(good.find("IDAT") - 4);
    EXPECT_TRUE(png.LoadFromMemory(&s, Bytes(huge), huge.size()));
    // 20000 x 20000 RGBA passes libpng's limits but not the surface's size cap.
    ihdr.assign("\x00\x00\x4e\x20\x00\x00\x4e\x20\x08\x06\x00\x00\x00", 13);
    const std::string big =
        std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + good.substr(good.find("IDAT") - 4);
    EXPECT_TRUE(png.LoadFromMemory(&s, Bytes(big), big.size()));
}

TEST(CPng, HeaderOnlyReadFillsTheTexts) {
    CSurface s;
    ASSERT_FALSE(s.Init(2, 2, 1, 0));
    s.Fill(0x123456);
    CPng png;
    CPng::SOutputBuffer out;
    out.data = new uint8_t[64];
    out.capacity = 64;
    ASSERT_FALSE(png.SaveWithText(&s, out, -1, {{"Title", "Kestrin"}, {"comment", "hello world"}}));
    const std::string bytes(reinterpret_cast<char*>(out.data), out.length);
    delete[] out.data;
    CPng reader;
    EXPECT_FALSE(reader.LoadFromMemory(nullptr, Bytes(bytes), bytes.size()));
    ASSERT_EQ(reader.GetTexts().count("Title"), 1u);
    EXPECT_EQ(reader.GetTexts().at("Title"), "Kestrin");
    EXPECT_EQ(reader.GetTexts().at("comment"), "hello world");
}

TEST(CPng, ReadsInternationalTexts) {
    // iTXt: keyword, compression flag and method, language, translated keyword, text.
    const std::string plain = std::string("Title\0\0\0ja\0\xE9\xA1\x8C\0", 15) + "\xE5\x90\xBE\xE8\xBC\xA9 cat";
    const std::string long_text(300, 'k');
    std::vector<unsigned char> packed(compressBound(uLong(long_text.size())));
    uLongf packedSize = uLongf(packed.size());
    ASSERT_EQ(compress(packed.data(), &packedSize, Bytes(long_text), uLong(long_text.size())), Z_OK);
    const std::string zipped =
        std::string("Note\0\x01\0\0\0", 9) + std::string(reinterpret_cast<char*>(packed.data()), packedSize);
    const std::string good = Fixture("png/rgb.png");
    const size_t afterHeader = 8 + 25;
    const std::string bytes = good.substr(0, afterHeader) + Chunk("iTXt", plain) + Chunk("iTXt", zipped) +
                              Chunk("tEXt", std::string("Plain\0old", 9)) + good.substr(afterHeader);
    for (bool withSurface : {false, true}) {
        SCOPED_TRACE(withSurface);
        CPng png;
        CSurface s;
        ASSERT_FALSE(png.LoadFromMemory(withSurface ? &s : nullptr, Bytes(bytes), bytes.size()));
        const auto& texts = png.GetTexts();
        ASSERT_EQ(texts.size(), 3u);
        EXPECT_EQ(texts.at("Title"), "\xE5\x90\xBE\xE8\xBC\xA9 cat");
        EXPECT_EQ(texts.at("Note"), long_text);
        EXPECT_EQ(texts.at("Plain"), "old");
    }
}

TEST(CPng, RefusesTextChunksLongerThanTheLimitWithoutReadingThem) {
    // 41 bytes: a text chunk announcing nearly 2 GiB right after the header. libpng would
    // allocate all of it before finding the file short; the loader stops at the length.
    std::vector<std::string> log;
    CLogWindow::SetLineSink([&log](const std::string& line) { log.push_back(line); });
    const std::string header = Fixture("png/rgb.png").substr(0, 8 + 25);
    for (const char* type : {"tEXt", "zTXt", "iTXt"}) {
        SCOPED_TRACE(type);
        const std::string bytes = header + std::string("\x7f\xff\xff\xf0", 4) + type;
        ASSERT_EQ(bytes.size(), 41u);
        for (bool withSurface : {false, true}) {
            log.clear();
            CPng png;
            CSurface s;
            EXPECT_TRUE(png.LoadFromMemory(withSurface ? &s : nullptr, Bytes(bytes), bytes.size()));
            ASSERT_EQ(log.size(), 1u);
            EXPECT_NE(log[0].find("chunk data is too large"), std::string::npos) << log[0];
        }
    }
    CLogWindow::SetLineSink(nullptr);
}

TEST(CPng, EncodesSurfacesWithTexts) {
    for (int32_t bits : {0, 1, 2}) {
        SCOPED_TRACE(bits);
        CSurface s;
        ASSERT_FALSE(s.Init(5, 3, bits, 0));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < s.GetPitch(); ++x) s.GetLine(y)[x] = uint8_t(x * 17 + y * 5);
        CPng png;
        CPng::SOutputBuffer counting;
        ASSERT_FALSE(png.SaveWithText(&s, counting, -1, {{"b", "2"}, {"a", "1"}}));
        CPng::SOutputBuffer out;
        out.data = new uint8_t[1];
        out.capacity = 1;  // grows by doubling
        ASSERT_FALSE(png.SaveWithText(&s, out, -1, {{"b", "2"}, {"a", "1"}}));
        const std::string bytes(reinterpret_cast<char*>(out.data), out.length);
        delete[] out.data;
        EXPECT_EQ(counting.length, out.length);
        EXPECT_GE(out.capacity, out.length);
        // Chunk order: IHDR, the texts in key order, IDAT, IEND; 3 bytes per pixel for format 1.
        EXPECT_EQ(bytes[25], char(bits == 0 ? 0 : bits == 1 ? 2 : 6));
        const size_t a = bytes.find("tEXta"), b = bytes.find("tEXtb"), idat = bytes.find("IDAT");
        EXPECT_LT(a, b);
        EXPECT_LT(b, idat);

        CSurface back;
        ASSERT_FALSE(png.LoadFromMemory(&back, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        EXPECT_EQ(back.GetPixelBits(), bits);
        EXPECT_EQ(png.GetTexts().at("a"), "1");
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                for (int k = 0; k < s.GetBytesPerPixel(); ++k) {
                    const uint8_t want = bits == 1 && k == 3 ? 0xFF : s.GetLine(y)[x * s.GetBytesPerPixel() + k];
                    EXPECT_EQ(back.GetLine(y)[x * s.GetBytesPerPixel() + k], want);
                }
    }
    CSurface empty;
    CPng png;
    CPng::SOutputBuffer out;
    EXPECT_TRUE(png.Save(&empty, out, -1));
}

TEST(CJpg, DecodesLikeDjpegFast) {
    // Expected pixels: `djpeg -dct fast -nosmooth` (tools/make-image-fixtures.sh).
    for (const char* name : {"color", "progressive"}) {
        SCOPED_TRACE(name);
        CJpg jpg;
        CSurface s;
        ASSERT_FALSE(LoadThroughFile(jpg, s, std::string("jpeg/") + name + ".jpg"));
        ASSERT_EQ(s.GetPixelBits(), 1);
        ASSERT_EQ(s.GetWidth(), 37);
        ASSERT_EQ(s.GetHeight(), 29);
        const std::string rgb = PnmPixels(Fixture(std::string("jpeg/") + name + ".ppm"));
        ASSERT_EQ(rgb.size(), 37u * 29u * 3u);
        std::string expected;
        for (size_t i = 0; i < rgb.size(); i += 3) {
            expected += rgb[i + 2];
            expected += rgb[i + 1];
            expected += rgb[i];
            expected += '\xff';
        }
        EXPECT_EQ(Pixels(s), expected);
    }
    CJpg jpg;
    CSurface grey;
    ASSERT_FALSE(LoadThroughFile(jpg, grey, "jpeg/grey.jpg"));
    EXPECT_EQ(grey.GetPixelBits(), 0);
    EXPECT_EQ(Pixels(grey), PnmPixels(Fixture("jpeg/grey.pgm")));

    CSurface s;
    EXPECT_TRUE(LoadThroughFile(jpg, s, "jpeg/cmyk.jpg"));
    EXPECT_TRUE(LoadThroughFile(jpg, s, "png/rgb.png"));
}

TEST(CJpg, AlphaMaskMustCoverTheImage) {
    const std::string color = Fixture("jpeg/color.jpg");
    const std::string rgb = PnmPixels(Fixture("jpeg/color.ppm"));
    CJpg jpg;
    for (const char* mask : {"mask", "mask_tall"}) {
        SCOPED_TRACE(mask);
        const std::string m = Fixture(std::string("jpeg/") + mask + ".jpg");
        const std::string alpha = PnmPixels(Fixture(std::string("jpeg/") + mask + ".pgm"));
        CSurface s;
        // Twice: the alpha buffer is reused.
        for (int round = 0; round < 2; ++round) {
            ASSERT_FALSE(jpg.Decode(&s, Bytes(color), color.size(), Bytes(m), m.size()));
            ASSERT_EQ(s.GetPixelBits(), 2);
            for (int y = 0; y < 29; ++y)
                for (int x = 0; x < 37; ++x) {
                    const uint8_t* p = s.GetLine(y) + 4 * x;
                    ASSERT_EQ(p[3], uint8_t(alpha[size_t(y) * 37 + size_t(x)])) << x << "," << y;
                    ASSERT_EQ(p[2], uint8_t(rgb[(size_t(y) * 37 + size_t(x)) * 3]));
                }
        }
    }
    const std::string grey = Fixture("jpeg/grey.jpg");
    for (const char* mask : {"mask_short", "mask_wide", "color"}) {
        const std::string m = Fixture(std::string("jpeg/") + mask + ".jpg");
        CSurface s;
        EXPECT_TRUE(jpg.Decode(&s, Bytes(color), color.size(), Bytes(m), m.size())) << mask;
    }
    const std::string m = Fixture("jpeg/mask.jpg");
    CSurface s;
    EXPECT_TRUE(jpg.Decode(&s, Bytes(grey), grey.size(), Bytes(m), m.size()));
    EXPECT_TRUE(jpg.Decode(&s, Bytes(color), 1, nullptr, 0));
    EXPECT_TRUE(jpg.Decode(nullptr, Bytes(color), color.size(), nullptr, 0));
    // Cut-off data never reads past the bytes given (ASan checks); a cut header fails.
    for (size_t n = 2; n < color.size(); n += 7) {
        CSurface cut;
        const bool failed = jpg.Decode(&cut, Bytes(color), n, nullptr, 0);
        if (n < 200) {
            EXPECT_TRUE(failed) << n;
        }
    }
}

namespace {

// Records which loader saw which file, then lets the real one work.
class SpyLoader : public IGraphicLoader {
public:
    SpyLoader(IGraphicLoader* real, const char* tag, std::vector<std::string>* log)
        : m_real(real), m_tag(tag), m_log(log) {}
    ~SpyLoader() override { delete m_real; }
    void GetExtensions(std::vector<std::string>& e) const override { m_real->GetExtensions(e); }
    bool Load(ISurface* s, CFile* f) override {
        std::string name = f->GetName();
        name = name.substr(name.find_last_of('/') + 1);
        m_log->push_back(m_tag + ":" + name);
        return m_real->Load(s, f);
    }

private:
    IGraphicLoader* m_real;
    std::string m_tag;
    std::vector<std::string>* m_log;
};

}  // namespace

TEST(CGraphicLoaders, PicksByExtensionThenTriesEveryLoaderAndExtension) {
    kestrin_test::TempDir dir;
    dir.Write("title.jpg", Fixture("jpeg/color.jpg"));
    dir.Write("a.JPG", Fixture("jpeg/color.jpg"));
    dir.Write("a.Jpg", Fixture("jpeg/color.jpg"));
    dir.Write("photo.png", Fixture("jpeg/color.jpg"));  // misnamed: the PNG loader fails first
    dir.Write("broken.png", "not an image");
    CFileFactory files;
    std::vector<std::string> log;
    CGraphicLoaders loaders(&files);
    EXPECT_TRUE(loaders.AddLoader(nullptr));
    auto* png = new SpyLoader(new CPng, "png", &log);
    EXPECT_FALSE(loaders.AddLoader(png));
    EXPECT_FALSE(loaders.AddLoader(png));
    EXPECT_FALSE(loaders.AddLoader(new SpyLoader(new CJpg, "jpg", &log)));

    CSurface s;
    const std::string base = dir.Path() + "/";
    EXPECT_FALSE(loaders.LoadFile(&s, base + "title"));
    EXPECT_EQ(log, (std::vector<std::string>{"jpg:title.jpg"}));  // title.png and title.PNG do not open
    log.clear();
    EXPECT_FALSE(loaders.LoadFile(&s, base + "a.JPG"));
    EXPECT_EQ(log, (std::vector<std::string>{"jpg:a.JPG"}));
    log.clear();
    EXPECT_FALSE(loaders.LoadFile(&s, base + "a.Jpg"));
    EXPECT_EQ(log, (std::vector<std::string>{"png:a.Jpg", "jpg:a.Jpg"}));
    log.clear();
    // Each attempt starts from the beginning of the file, whatever the previous one read.
    EXPECT_FALSE(loaders.LoadFile(&s, base + "photo.png"));
    EXPECT_EQ(log, (std::vector<std::string>{"png:photo.png", "jpg:photo.png"}));
    EXPECT_EQ(s.GetWidth(), 37);
    EXPECT_TRUE(loaders.LoadFile(&s, base + "broken.png"));
    EXPECT_TRUE(loaders.LoadFile(&s, base + "missing"));
}

TEST(CGraphicLoaders, SaysOnceWhyAnImageOfAKindItDoesNotReadIsRefused) {
    // A baseline JPEG whose frame header says 12 bits a sample, or the lossless process.
    const std::string color = Fixture("jpeg/color.jpg");
    const size_t sof = color.find("\xff\xc0");
    ASSERT_NE(sof, std::string::npos);
    std::string twelveBit = color, lossless = color;
    twelveBit[sof + 4] = 12;
    lossless[sof + 1] = '\xc3';
    // An RGBA header of 20000 x 20000: within libpng's limits, beyond a surface's.
    std::string ihdr("\x00\x00\x4e\x20\x00\x00\x4e\x20\x08\x06\x00\x00\x00", 13);
    const std::string rgb = Fixture("png/rgb.png");
    const std::string huge =
        std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + rgb.substr(rgb.find("IDAT") - 4);
    struct Case {
        const char* file;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"gradient.png", Fixture("png/gradient.png"), "grey PNG of 16 bits a channel"},
        {"rgb16.png", Fixture("png/rgb16.png"), "RGB PNG of 16 bits a channel"},
        {"flat.png", Fixture("png/flat.png"), "grey PNG of 1 bit a channel"},
        {"flatred.png", Fixture("png/flatred.png"), "PNG with a colour palette"},
        {"palette.png", Fixture("png/palette.png"), "PNG with a colour palette"},
        {"greyalpha.png", Fixture("png/greyalpha.png"), "grey-and-alpha PNG"},
        {"huge.png", huge, "PNG of 20000 x 20000 pixels (too large for a surface)"},
        {"cmyk.jpg", Fixture("jpeg/cmyk.jpg"), "CMYK (YCCK) JPEG"},
        {"twelve.jpg", twelveBit, "JPEG of 12 bits a sample"},
        {"lossless.jpg", lossless, "lossless or hierarchical JPEG"},
    };
    kestrin_test::TempDir dir;
    for (const Case& c : cases) dir.Write(c.file, c.bytes);
    std::vector<std::string> log;
    CLogWindow::SetLineSink([&log](const std::string& line) { log.push_back(line); });
    CFileFactory files;
    CGraphicLoaders loaders(&files);
    loaders.AddLoader(new CPng);
    loaders.AddLoader(new CJpg);
    for (const Case& c : cases) {
        const std::string path = dir.Path() + "/" + c.file;
        // By its name, and without its extension: then bg.png and bg.PNG (found in any
        // letter case) both open the one file, and it is still said once.
        for (const std::string& name : {path, path.substr(0, path.rfind('.'))}) {
            SCOPED_TRACE(name);
            log.clear();
            CSurface s;
            EXPECT_TRUE(loaders.LoadFile(&s, name));
            ASSERT_EQ(log.size(), 1u) << ::testing::PrintToString(log);
            EXPECT_EQ(log[0].rfind(path + ": image not read: " + c.reason, 0), 0u) << log[0];
        }
    }
    // The loaders' own results say the same.
    CPng png;
    CSurface s;
    CFile file;
    ASSERT_FALSE(file.Open((dir.Path() + "/gradient.png").c_str()));
    EXPECT_TRUE(png.Load(&s, &file));
    EXPECT_EQ(png.GetRefusal().rfind("grey PNG of 16 bits a channel", 0), 0u);
    EXPECT_FALSE(LoadThroughFile(png, s, "png/rgb.png"));
    EXPECT_EQ(png.GetRefusal(), "");

    // Readable, broken and missing images give no such line; a refused file beside one
    // that loads is a warning naming the one shown.
    dir.Write("interlaced.png", Fixture("png/interlaced.png"));
    dir.Write("progressive.jpg", Fixture("jpeg/progressive.jpg"));
    dir.Write("grey.jpg", Fixture("jpeg/grey.jpg"));
    dir.Write("cut.png", rgb.substr(0, 60));
    log.clear();
    for (const char* name : {"interlaced.png", "progressive", "grey.jpg", "cut.png", "missing.png"}) {
        CSurface image;
        loaders.LoadFile(&image, dir.Path() + "/" + name);
    }
    for (const std::string& line : log) EXPECT_EQ(line.find("image not read"), std::string::npos) << line;
    dir.Write("bg.png", Fixture("png/gradient.png"));
    dir.Write("bg.jpg", color);
    log.clear();
    EXPECT_FALSE(loaders.LoadFile(&s, dir.Path() + "/bg"));
    EXPECT_EQ(s.GetWidth(), 37);
    ASSERT_EQ(log.size(), 1u) << ::testing::PrintToString(log);
    EXPECT_NE(log[0].find("bg.png: image not read: grey PNG of 16 bits a channel"), std::string::npos) << log[0];
    EXPECT_NE(log[0].find("bg.jpg is shown instead"), std::string::npos) << log[0];
    CLogWindow::SetLineSink(nullptr);
}

TEST(CGraphicLoaders, LoadsImagesInsidePackArchives) {
    // Entries lie back to back in the archive: a loader that read past its entry would see
    // the next one's bytes.
    kestrin_test::TempDir dir;
    dir.Write("src/img/bg.png", Fixture("png/rgba.png"));
    dir.Write("src/img/title.jpg", Fixture("jpeg/color.jpg"));
    dir.Write("src/img/cut.png", Fixture("png/rgb.png").substr(0, 100));
    dir.Write("src/img/next.png", Fixture("png/rgb.png"));
    const std::string cwd = std::filesystem::current_path().string();
    const std::string root = CPackFile::RootPackName;
    CPackFile::ClearArchives();
    ChangeDirectory(dir.Path());
    const std::string command = std::string(KESTRIN_BINARY_DIR) + "/tools/kpack -k 2 src/img img.pfs";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::filesystem::remove_all(dir.Path() + "/src");

    COruPackFileFactory files;
    CGraphicLoaders loaders(&files);
    loaders.AddLoader(new CPng);
    loaders.AddLoader(new CJpg);
    CSurface s;
    EXPECT_FALSE(loaders.LoadFile(&s, "IMG\\BG.png"));
    EXPECT_EQ(Pixels(s), Fixture("png/rgba.bgra"));
    EXPECT_FALSE(loaders.LoadFile(&s, "img\\title"));
    EXPECT_EQ(s.GetWidth(), 37);
    EXPECT_TRUE(loaders.LoadFile(&s, "img\\cut.png"));

    ChangeDirectory(cwd);
    CPackFile::RootPackName = root;
    CPackFile::ClearArchives();
}

namespace {

// Counts Lock and Unlock: texture surfaces must never stay locked after a failed decode.
class LockCountingSurface : public CSurface {
public:
    void Lock() override { ++depth; }
    void Unlock() override { --depth; }
    int depth = 0;
};

}  // namespace

TEST(ImageLoaders, FailedDecodesLeaveTheSurfaceUnlocked) {
    const std::string png = Fixture("png/rgb.png");
    const std::string jpg = Fixture("jpeg/progressive.jpg");
    std::mt19937 rng(3);
    for (int round = 0; round < 300; ++round) {
        std::string p = png, j = jpg;
        for (int k = 0; k < 3; ++k) {
            p[40 + rng() % (p.size() - 40)] = char(rng());
            j[300 + rng() % (j.size() - 300)] = char(rng());
        }
        LockCountingSurface a, b;
        CPng().LoadFromMemory(&a, Bytes(p), p.size());
        CJpg().Decode(&b, Bytes(j), j.size(), nullptr, 0);
        ASSERT_EQ(a.depth, 0) << round;
        ASSERT_EQ(b.depth, 0) << round;
    }
}
