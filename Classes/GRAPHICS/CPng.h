#pragma once
// PNG reading (8-bit grey, RGB and RGBA) into surfaces and writing surfaces as PNG, over libpng.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "GRAPHICS/IGraphicLoader.h"

namespace kestrin {

class CPng : public IGraphicLoader {
public:
    // Where encoded bytes go. data is allocated by the caller with new[] and replaced by a
    // larger array (the old one freed) when it must grow; with data null only length counts.
    struct SOutputBuffer {
        uint8_t* data = nullptr;
        uint32_t capacity = 0;
        uint32_t length = 0;
    };

    CPng() = default;
    ~CPng() override = default;

    void GetExtensions(std::vector<std::string>& extensions) const override;
    // A null surface reads only the header and the text chunks.
    bool Load(ISurface* surface, CFile* file) override;
    std::string GetRefusal() const override { return m_refusal; }
    // Decodes PNG bytes in memory (the same checks as Load).
    bool LoadFromMemory(ISurface* surface, const uint8_t* bytes, size_t length);
    // Compression level -1 is zlib's default. True on failure.
    virtual bool SaveWithText(ISurface* surface, SOutputBuffer& buffer, int level,
                              const std::map<std::string, std::string>& texts);
    virtual bool Save(ISurface* surface, SOutputBuffer& buffer, int level);

    // The text chunks of the last image read.
    const std::map<std::string, std::string>& GetTexts() const { return m_texts; }

    // Internal: where the decoder's bytes come from.
    struct SSource;

private:
    bool Decode(ISurface* surface, SSource& source);

    std::map<std::string, std::string> m_texts;
    std::string m_refusal;
};

}  // namespace kestrin
