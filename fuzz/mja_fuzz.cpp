// ".mja" movies over arbitrary bytes: the header, then frames asked for in the order a clock
// and a loop would ask (forward with skips, the same frame again, back to the start).
#include "CORE/CFile.h"
#include "GRAPHICS/CMja.h"
#include "GRAPHICS/CSurface.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// The bytes as a file, exactly as long as the input.
class MemoryFile : public kestrin::CFile {
public:
    MemoryFile(const uint8_t* data, size_t size) : m_bytes(data, data + size) {}
    int Read(void* buffer, unsigned size) override {
        if (!buffer || m_at >= m_bytes.size()) return 0;
        const size_t n = std::min<size_t>(size, m_bytes.size() - m_at);
        std::copy(m_bytes.begin() + long(m_at), m_bytes.begin() + long(m_at + n), static_cast<uint8_t*>(buffer));
        m_at += n;
        return static_cast<int>(n);
    }
    int Seek(int offset, int origin) override {
        const int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? int64_t(m_at) : int64_t(m_bytes.size());
        if (base + offset < 0) return -1;
        m_at = size_t(base + offset);
        return 0;
    }
    int Tell() override { return int(m_at); }
    int GetSize() override { return int(m_bytes.size()); }
    int Close() override { return 0; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_at = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 22)) return 0;
    kestrin::CSurface target;
    kestrin::CMja movie;
    if (movie.Open(&target, std::make_shared<MemoryFile>(data, size), true)) return 0;
    for (uint32_t n : {1u, 1u, 3u, 2u, 0u, 5u, 40u}) movie.ShowFrame(n);
    return 0;
}
