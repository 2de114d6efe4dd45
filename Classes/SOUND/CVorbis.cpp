#include "SOUND/CVorbis.h"

#include <cstdint>
#include <cstring>

#include "CORE/CLogWindow.h"
#include "SOUND/SoundContinuation.h"

namespace kestrin {

namespace {

// Holes (lost or corrupt pages) skipped in a row before the stream counts as ended.
constexpr int kMaxHolesInRow = 64;

}  // namespace

CVorbis::CVorbis() { std::memset(&m_decoder, 0, sizeof(m_decoder)); }

CVorbis::~CVorbis() { FreeBuffer(); }

size_t CVorbis::ReadCallback(void* destination, size_t size, size_t count, void* source) {
    CVorbis* self = static_cast<CVorbis*>(source);
    if (size == 0) return 0;
    const size_t remaining = self->m_buffer.size() - self->m_cursor;
    const size_t want = count <= SIZE_MAX / size ? size * count : SIZE_MAX;
    const size_t bytes = want < remaining ? want : remaining;
    if (bytes == 0) return 0;
    std::memcpy(destination, self->m_buffer.data() + self->m_cursor, bytes);
    self->m_cursor += bytes;
    return bytes / size;
}

int CVorbis::SeekCallback(void* source, ogg_int64_t offset, int origin) {
    CVorbis* self = static_cast<CVorbis*>(source);
    const int64_t size = static_cast<int64_t>(self->m_buffer.size());
    int64_t base;
    switch (origin) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = static_cast<int64_t>(self->m_cursor); break;
        case SEEK_END: base = size; break;
        default: return -1;
    }
    // Never outside the buffer.
    if (offset < -size || offset > size) return -1;
    const int64_t target = base + offset;
    if (target < 0 || target > size) return -1;
    self->m_cursor = static_cast<size_t>(target);
    return 0;
}

int CVorbis::CloseCallback(void*) { return 0; }

long CVorbis::TellCallback(void* source) { return static_cast<long>(static_cast<CVorbis*>(source)->m_cursor); }

void CVorbis::CloseDecoder() {
    if (m_decoderOpen) ov_clear(&m_decoder);
    m_decoderOpen = false;
    std::memset(&m_decoder, 0, sizeof(m_decoder));
}

void CVorbis::FreeBuffer() {
    CloseDecoder();
    std::vector<uint8_t>().swap(m_buffer);
    m_hasBuffer = false;
    m_cursor = 0;
}

bool CVorbis::OpenDecoder() {
    CloseDecoder();
    m_cursor = 0;
    const ov_callbacks callbacks = {&CVorbis::ReadCallback, &CVorbis::SeekCallback, &CVorbis::CloseCallback,
                                    &CVorbis::TellCallback};
    if (ov_open_callbacks(this, &m_decoder, nullptr, 0, callbacks) < 0) {
        // A failed open has already cleared the decoder state.
        std::memset(&m_decoder, 0, sizeof(m_decoder));
        return true;
    }
    m_decoderOpen = true;
    return false;
}

bool CVorbis::Open(std::shared_ptr<CFile> file) {
    FreeBuffer();
    m_ended = false;
    if (!file) return true;
    // The size must be known before anything is allocated.
    const int size = file->GetSize();
    if (size <= 0) return true;
    m_buffer.resize(static_cast<size_t>(size));
    file->Seek(0, 0);
    const int got = file->Read(m_buffer.data(), static_cast<unsigned>(size));
    m_buffer.resize(got > 0 ? static_cast<size_t>(got) : 0);
    if (m_buffer.empty() || OpenDecoder()) {
        FreeBuffer();
        return true;
    }
    vorbis_info* info = ov_info(&m_decoder, -1);
    const ogg_int64_t samples = ov_pcm_total(&m_decoder, -1);
    if (!info || info->channels <= 0 || info->channels > 0xFFFF || info->rate <= 0 || samples < 0) {
        FreeBuffer();
        return true;
    }
    m_samplesPerSec = static_cast<uint32_t>(info->rate);
    m_channels = static_cast<uint16_t>(info->channels);
    const uint64_t total = static_cast<uint64_t>(samples) * m_channels * 2;
    m_totalBytes = total > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(total);
    m_hasBuffer = true;
    m_file = std::move(file);
    return false;
}

uint32_t CVorbis::Decode(uint8_t* buffer, uint32_t n) {
    uint32_t total = 0;
    int holes = 0;
    const long rate = static_cast<long>(m_samplesPerSec);
    while (n > 0) {
        int link = 0;
        const int ask = n > 0x40000000u ? 0x40000000 : static_cast<int>(n);
        const long got = ov_read(&m_decoder, reinterpret_cast<char*>(buffer), ask, 0, 2, 1, &link);
        if (got == 0) break;
        if (got == OV_HOLE) {
            if (++holes > kMaxHolesInRow) break;
            continue;
        }
        if (got < 0 || got > ask) break;
        // A chained link in another format would be read in the wrong one: it ends the stream.
        vorbis_info* info = ov_info(&m_decoder, link);
        if (!info || info->channels != m_channels || info->rate != rate) break;
        holes = 0;
        buffer += got;
        n -= static_cast<uint32_t>(got);
        total += static_cast<uint32_t>(got);
    }
    return total;
}

int CVorbis::Read(void* buffer, uint32_t n) {
    if (!m_hasBuffer) return -1;
    if (!buffer || m_ended) return 0;
    if (n > 0x7FFFFFFFu) n = 0x7FFFFFFFu;
    const uint32_t got = Decode(static_cast<uint8_t*>(buffer), n);
    if (got == n) return static_cast<int>(got);
    switch (ContinueWithPartner(*this, std::shared_ptr<CFile>(m_file))) {
        case EContinuation::kPartner: {
            const int more = Read(static_cast<uint8_t*>(buffer) + got, n - got);
            return static_cast<int>(got) + (more > 0 ? more : 0);
        }
        case EContinuation::kFailed: m_ended = true; return static_cast<int>(got);
        case EContinuation::kNone: break;
    }
    return static_cast<int>(got);
}

void CVorbis::Rewind() {
    if (!m_hasBuffer) return;
    m_ended = false;
    if (OpenDecoder()) {
        Log(ELogLevel::Error, "sound", "%s cannot be decoded again", m_file ? m_file->GetName().c_str() : "");
        FreeBuffer();
    }
}

}  // namespace kestrin
