#include "SOUND/CWave.h"

#include <cstring>

#include "CORE/CLogWindow.h"
#include "SOUND/SoundContinuation.h"

namespace kestrin {

namespace {

bool ReadExact(CFile& file, void* out, unsigned size) { return file.Read(out, size) == static_cast<int>(size); }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The PCM sub-format of an extensible header, after its first two bytes.
const uint8_t kPcmSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

bool CWave::FindChunk(CFile& file, uint64_t fileSize, const char* id, uint32_t& size) {
    // Positions are 64-bit and only move forward; a chunk that claims more than the file
    // holds ends the walk (except "data", which the caller clamps).
    for (;;) {
        const int tell = file.Tell();
        if (tell < 0) return true;
        const uint64_t position = static_cast<uint64_t>(tell);
        uint8_t header[8];
        if (!ReadExact(file, header, 8)) return true;
        size = U32(header + 4);
        if (std::memcmp(header, id, 4) == 0) return false;
        const uint64_t next = position + 8 + size + (size & 1);
        if (next > fileSize) return true;
        if (file.Seek(static_cast<int>(next), 0) != 0) return true;
    }
}

bool CWave::Open(std::shared_ptr<CFile> file) {
    m_loaded = false;
    m_ended = false;
    if (!file) return true;
    const int sizeOrError = file->GetSize();
    if (sizeOrError < 0) return true;
    const uint64_t fileSize = static_cast<uint64_t>(sizeOrError);
    uint8_t riff[12];
    if (!ReadExact(*file, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
        return true;
    uint32_t fmtSize = 0;
    if (FindChunk(*file, fileSize, "fmt ", fmtSize)) return true;
    if (fmtSize < 16) return true;
    const uint64_t fmtEnd = static_cast<uint64_t>(file->Tell()) + fmtSize + (fmtSize & 1);
    if (fmtEnd > fileSize) return true;
    uint8_t fmt[40] = {};
    const unsigned fmtRead = fmtSize < sizeof(fmt) ? fmtSize : sizeof(fmt);
    if (!ReadExact(*file, fmt, fmtRead)) return true;
    uint16_t formatTag = U16(fmt);
    const uint16_t channels = U16(fmt + 2);
    const uint32_t samplesPerSec = U32(fmt + 4);
    const uint32_t avgBytesPerSec = U32(fmt + 8);
    const uint16_t blockAlign = U16(fmt + 12);
    const uint16_t bitsPerSample = U16(fmt + 14);
    // An extensible header that carries plain PCM counts as PCM.
    if (formatTag == kFormatExtensible && fmtRead >= 40 && U16(fmt + 16) >= 22 && U16(fmt + 24) == kFormatPcm &&
        std::memcmp(fmt + 26, kPcmSubFormatTail, sizeof(kPcmSubFormatTail)) == 0)
        formatTag = kFormatPcm;
    if (formatTag != kFormatPcm) return true;
    if (channels != 1 && channels != 2) return true;
    const uint64_t bytesPerSample = bitsPerSample / 8;
    if (avgBytesPerSec != channels * static_cast<uint64_t>(samplesPerSec) * bytesPerSample) return true;
    if (blockAlign != channels * bytesPerSample) return true;
    if (file->Seek(static_cast<int>(fmtEnd), 0) != 0) return true;
    uint32_t dataSize = 0;
    if (FindChunk(*file, fileSize, "data", dataSize)) return true;
    const int dataStart = file->Tell();
    if (dataStart < 0) return true;
    const uint64_t available = fileSize - static_cast<uint64_t>(dataStart);
    if (dataSize > available) {
        Log(ELogLevel::Warning, "sound", "%s: the data chunk claims %u bytes, the file holds %llu",
            file->GetName().c_str(), dataSize, static_cast<unsigned long long>(available));
        dataSize = static_cast<uint32_t>(available);
    }
    m_samplesPerSec = samplesPerSec;
    m_channels = channels;
    m_bitsPerSample = bitsPerSample;
    m_dataSize = dataSize;
    m_dataStart = static_cast<uint32_t>(dataStart);
    m_file = std::move(file);
    m_readPosition = 0;
    m_loaded = true;
    return false;
}

int CWave::Read(void* buffer, uint32_t n) {
    if (!m_loaded || !buffer || m_ended) return 0;
    if (n > 0x7FFFFFFFu) n = 0x7FFFFFFFu;
    uint32_t count = m_dataSize - m_readPosition;
    if (count > n) count = n;
    int got = count ? m_file->Read(buffer, count) : 0;
    if (got < 0) got = 0;
    m_readPosition += static_cast<uint32_t>(got);
    if (m_readPosition < m_dataSize) return got;
    switch (ContinueWithPartner(*this, std::shared_ptr<CFile>(m_file))) {
        case EContinuation::kPartner: {
            const int more = Read(static_cast<uint8_t*>(buffer) + got, n - static_cast<uint32_t>(got));
            return got + (more > 0 ? more : 0);
        }
        case EContinuation::kFailed: m_ended = true; return got;
        case EContinuation::kNone: break;
    }
    return got;
}

void CWave::Rewind() {
    if (!m_loaded) return;
    m_file->Seek(static_cast<int>(m_dataStart), 0);
    m_readPosition = 0;
    m_ended = false;
}

}  // namespace kestrin
