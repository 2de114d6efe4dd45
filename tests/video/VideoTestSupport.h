#pragma once
// Helpers of the movie tests: fixtures, an in-memory file, pixel comparisons.
#include <cstdint>
#include <string>
#include <vector>

#include "CORE/CFile.h"

namespace kestrin {
class ISurface;
}

namespace kestrin_video_test {

// A read-only file over bytes, counting what is read.
class MemoryFile : public kestrin::CFile {
public:
    explicit MemoryFile(std::string bytes) : m_bytes(std::move(bytes)) {}
    int Read(void* buffer, unsigned size) override;
    int Seek(int offset, int origin) override;
    int Tell() override { return static_cast<int>(m_at); }
    int GetSize() override { return static_cast<int>(m_bytes.size()); }
    int Close() override { return 0; }
    std::string GetName() override { return "memory.mja"; }

    size_t bytesRead = 0;

private:
    std::string m_bytes;
    size_t m_at = 0;
};

// Path of tests/data/video/<relative>.
std::string VideoData(const std::string& relative);
// The pixel bytes of a binary PNM (P5 or P6) file.
std::string PnmPixels(const std::string& path);
// The pixels a frame of our ".mja" fixtures decodes to: blue, green, red and the alpha of
// the grey record (255 without one), from djpeg's output of fixture frame n.
std::string ExpectedMjaFrame(int n, bool alpha);
// A surface's pixels, rows concatenated without padding.
std::string SurfacePixels(kestrin::ISurface& surface);
// A ".mja" file: header and the records as given (each with its count).
std::string MjaBytes(uint8_t flags, uint32_t fps, const std::vector<std::string>& records);
std::string ReadBytes(const std::string& path);

}  // namespace kestrin_video_test
