#pragma once
// A pre-rendered ".rft" font file seen through one glyph: OpenGlyph finds a character's
// entry in the file's index, and the object then reads as a file holding only that
// glyph's image bytes, so the graphic loaders can decode it like any image file.
//
// Layout: magic "rft0".."rft3", then one (int32 offset, int32 size) entry per code of the
// version's code table, then the data. In "rft3" the entry of code 0 holds INI text whose
// FONT/CHARSET "UTF-8" selects the Unicode table.
#include <cstdint>
#include <memory>
#include <string>

#include "CORE/CFile.h"

namespace kestrin {

class CFileFactory;

class CRenderedFontFile : public CFile {
public:
    enum Format : int32_t { kFormat0 = 0, kFormat1 = 1, kFormat3 = 3 };

    explicit CRenderedFontFile(CFileFactory* factory);
    ~CRenderedFontFile() override;

    CFile* Clone(bool copyState) override;
    // Fonts open only through OpenGlyph: always true.
    bool Open(const char* name) override;
    int Read(void* buffer, unsigned size) override;
    int Seek(int offset, int origin) override;
    int Tell() override;
    int GetSize() override;
    int Close() override;
    std::string GetName() override { return m_name; }

    // Opens name (or name + ".rft") and places the window on the glyph of code; true when
    // the file is missing, not a font file, damaged, or has no entry for the code.
    virtual bool OpenGlyph(const std::string& name, uint16_t code);
    virtual int32_t GetFormat() const { return m_format; }
    // The glyphs are finished 32-bit images ("rft2").
    virtual bool IsColor32() const { return m_color32; }

    // Where the entry of a code lies in a file of that magic (false when the code has none);
    // "rft3" takes the Unicode table when unicode is set.
    static bool EntryOffset(const char magic[4], bool unicode, uint16_t code, int64_t& offset);
    // Forgets which "rft3" files were found to use the Unicode table.
    static void ForgetCharsets();

private:
    bool Fail(const char* why);

    CFileFactory* m_factory;
    std::shared_ptr<CFile> m_inner;
    int32_t m_windowStart = 0;
    int32_t m_windowSize = 0;
    int32_t m_format = kFormat0;
    bool m_color32 = false;
};

}  // namespace kestrin
