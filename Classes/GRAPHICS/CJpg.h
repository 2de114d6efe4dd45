#pragma once
// JPEG reading over libjpeg: colour images as 32-bit surfaces, grey images as 8-bit ones,
// and colour images with a second grey JPEG as their alpha mask.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GRAPHICS/IGraphicLoader.h"

namespace kestrin {

class CJpg : public IGraphicLoader {
public:
    CJpg() = default;
    ~CJpg() override = default;

    void GetExtensions(std::vector<std::string>& extensions) const override;
    bool Load(ISurface* surface, CFile* file) override;
    std::string GetRefusal() const override { return m_refusal; }
    // alpha: an optional one-component JPEG of the same width and at least the same height,
    // whose values become byte 3 of each pixel. True on failure.
    virtual bool Decode(ISurface* surface, const uint8_t* bytes, size_t length, const uint8_t* alpha,
                        size_t alphaLength);

private:
    // Kept between calls (movie frames decode one mask per frame); only ever grows.
    std::unique_ptr<uint8_t[]> m_alphaBuffer;
    size_t m_alphaSize = 0;
    // The file's bytes, kept for the next image when small (no fresh, zeroed buffer per load).
    std::unique_ptr<uint8_t[]> m_fileBuffer;
    size_t m_fileSize = 0;
    std::string m_refusal;
};

}  // namespace kestrin
