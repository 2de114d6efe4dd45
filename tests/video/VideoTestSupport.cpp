#include "VideoTestSupport.h"

#include <cctype>
#include <cstdio>

#include "GRAPHICS/ISurface.h"
#include "support/TestSupport.h"

namespace kestrin_video_test {

int MemoryFile::Read(void* buffer, unsigned size) {
    if (!buffer || m_at >= m_bytes.size()) return 0;
    const size_t n = std::min<size_t>(size, m_bytes.size() - m_at);
    m_bytes.copy(static_cast<char*>(buffer), n, m_at);
    m_at += n;
    bytesRead += n;
    return static_cast<int>(n);
}

int MemoryFile::Seek(int offset, int origin) {
    const int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? int64_t(m_at) : int64_t(m_bytes.size());
    const int64_t to = base + offset;
    if (to < 0) return -1;
    m_at = static_cast<size_t>(to);
    return 0;
}

std::string VideoData(const std::string& relative) { return kestrin_test::TestDataPath("video/" + relative); }

std::string ReadBytes(const std::string& path) { return kestrin_test::ReadFileBytes(path); }

std::string PnmPixels(const std::string& path) {
    const std::string pnm = ReadBytes(path);
    size_t pos = 0;
    for (int field = 0; field < 4; ++field) {
        while (pos < pnm.size() && std::isspace(static_cast<unsigned char>(pnm[pos]))) ++pos;
        while (pos < pnm.size() && !std::isspace(static_cast<unsigned char>(pnm[pos]))) ++pos;
    }
    return pos + 1 <= pnm.size() ? pnm.substr(pos + 1) : std::string();
}

std::string ExpectedMjaFrame(int n, bool alpha) {
    const std::string rgb = PnmPixels(VideoData("mja/f" + std::to_string(n) + ".ppm"));
    const std::string grey = alpha ? PnmPixels(VideoData("mja/a" + std::to_string(n) + ".pgm")) : std::string();
    std::string out;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        out += rgb[i + 2];
        out += rgb[i + 1];
        out += rgb[i];
        out += alpha ? grey[i / 3] : '\xff';
    }
    return out;
}

std::string SurfacePixels(kestrin::ISurface& surface) {
    std::string out;
    surface.Lock();
    const size_t row = size_t(surface.GetWidth()) * size_t(surface.GetBytesPerPixel());
    for (int32_t y = 0; y < surface.GetHeight(); ++y)
        if (const uint8_t* line = surface.GetLine(y)) out.append(reinterpret_cast<const char*>(line), row);
    surface.Unlock();
    return out;
}

std::string MjaBytes(uint8_t flags, uint32_t fps, const std::vector<std::string>& records) {
    auto put32 = [](std::string& s, uint32_t v) {
        for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    std::string out = "MJA";
    out += static_cast<char>(flags);
    put32(out, fps);
    for (const auto& r : records) {
        put32(out, static_cast<uint32_t>(r.size()));
        out += r;
    }
    return out;
}

}  // namespace kestrin_video_test
