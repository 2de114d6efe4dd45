#include "GRAPHICS/CMja.h"

#include <cmath>
#include <cstdio>
#include <new>

#include "CORE/CFile.h"
#include "CORE/CFrameDemand.h"
#include "CORE/CTimer.h"
#include "GRAPHICS/CJpg.h"
#include "GRAPHICS/ISurface.h"

namespace kestrin {

namespace {

constexpr int kHeaderSize = 8;

uint32_t LittleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

CMja::CMja() : m_decoder(std::make_shared<CJpg>()) {}

CMja::~CMja() = default;

bool CMja::Open(ISurface* target, const std::shared_ptr<CFile>& file, bool loop) {
    m_target = target;
    m_file = file;
    m_loop = loop;
    m_started = false;
    m_startTime = 0;
    m_frameTime = 0.0f;
    m_shownFrame = -1;
    m_positioned = false;
    m_recordIndex = 0;
    if (!m_target || !m_file || m_file->Seek(0, SEEK_SET) != 0) return true;
    uint8_t header[kHeaderSize];
    if (m_file->Read(header, 4) != 4 || header[0] != 'M' || header[1] != 'J' || header[2] != 'A') return true;
    m_flags = header[3];
    if (m_file->Read(header + 4, 4) != 4) return true;
    const uint32_t fps = LittleEndian32(header + 4);
    // No frame would ever follow the first.
    if (fps == 0) return true;
    if (ShowFrame(0)) return true;
    m_frameTime = 1000.0f / static_cast<float>(fps);
    return false;
}

bool CMja::Update() {
    if (m_frameTime <= 0.0f) return false;
    CFrameDemand::Now();
    const uint32_t now = CTimer::GetInstance()->GetTime();
    if (!m_started) {
        m_started = true;
        m_startTime = now;
        return false;
    }
    const double frame = std::floor(double(uint32_t(now - m_startTime)) / double(m_frameTime));
    const uint32_t n = frame >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(frame);
    const int64_t before = m_shownFrame;
    if (ShowFrame(n)) {
        if (m_loop) {
            m_startTime = now;
            if (ShowFrame(0)) m_frameTime = 0.0f;
        } else {
            m_frameTime = 0.0f;
        }
    }
    return m_shownFrame != before && m_shownFrame >= 0;
}

bool CMja::IsFrameDue() const {
    if (m_frameTime <= 0.0f) return false;
    if (!m_started) return true;
    const uint32_t now = CTimer::GetInstance()->GetTime();
    const double frame = std::floor(double(uint32_t(now - m_startTime)) / double(m_frameTime));
    return frame >= 4294967295.0 || int64_t(frame) != m_shownFrame;
}

bool CMja::ShowFrame(uint32_t n) {
    if (!m_file || !m_target) return true;
    // Frames slower than the game's are asked for on several game frames in a row.
    if (m_shownFrame >= 0 && int64_t(n) == m_shownFrame) return false;
    const uint64_t perFrame = (m_flags & kAlphaFlag) ? 2 : 1;
    const uint64_t wanted = uint64_t(n) * perFrame;
    uint64_t record;
    if (n == 0 || !m_positioned || int64_t(n) < m_shownFrame) {
        // From the first record (after a failure the file may stand anywhere).
        if (m_file->Seek(kHeaderSize, SEEK_SET) != 0) return true;
        m_recordIndex = 0;
        record = 0;
    } else {
        // The file stands after the records of the frame shown last.
        record = uint64_t(m_recordIndex) + perFrame;
    }
    // Whatever happens next, the file no longer stands where the shown frame left it.
    m_positioned = false;
    for (; record < wanted; ++record) {
        if (SkipRecord()) return true;
    }
    uint32_t frameLength = 0, alphaLength = 0;
    if (ReadRecord(m_frameBuffer, m_frameBufferSize, frameLength)) return true;
    const bool alpha = (m_flags & kAlphaFlag) != 0;
    if (alpha && ReadRecord(m_alphaBuffer, m_alphaBufferSize, alphaLength)) return true;
    if (m_decoder->Decode(m_target, m_frameBuffer.get(), frameLength, alpha ? m_alphaBuffer.get() : nullptr,
                          alpha ? alphaLength : 0)) {
        // The target may hold part of a picture now.
        m_shownFrame = -1;
        return true;
    }
    m_recordIndex = static_cast<uint32_t>(wanted);
    m_shownFrame = n;
    m_positioned = true;
    return false;
}

uint32_t CMja::Remaining() {
    const int size = m_file->GetSize();
    const int position = m_file->Tell();
    if (size < 0 || position < 0 || position > size) return 0;
    return static_cast<uint32_t>(size - position);
}

bool CMja::SkipRecord() {
    uint8_t count[4];
    if (m_file->Read(count, 4) != 4) return true;
    const uint32_t length = LittleEndian32(count);
    if (length > Remaining()) return true;
    return m_file->Seek(static_cast<int>(length), SEEK_CUR) != 0;
}

bool CMja::ReadRecord(std::unique_ptr<uint8_t[]>& buffer, uint32_t& bufferSize, uint32_t& length) {
    uint8_t count[4];
    if (m_file->Read(count, 4) != 4) return true;
    length = LittleEndian32(count);
    // A count beyond the file is the end of the data, not a reason to allocate.
    if (length == 0 || length > Remaining()) return true;
    if (bufferSize < length) {
        uint8_t* grown = new (std::nothrow) uint8_t[length];
        if (!grown) return true;
        buffer.reset(grown);
        bufferSize = length;
    }
    return m_file->Read(buffer.get(), length) != static_cast<int>(length);
}

}  // namespace kestrin
