#include "SOUND/CDxSound.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "CORE/CFrameDemand.h"
#include "CORE/CLogWindow.h"
#include "SOUND/AudioSystem.h"

namespace kestrin {

namespace {
// Notification indexes: the play position passed the buffer start, the middle, the buffer stopped.
constexpr size_t kNotifyStart = 0;
constexpr size_t kNotifyMiddle = 1;
constexpr size_t kNotifyCount = 3;
}  // namespace

CDxSound::~CDxSound() { Release(); }

int32_t CDxSound::PerMilleToHundredthsOfDecibel(int perMille) {
    if (perMille >= 1000) return 0;
    if (perMille <= 0) return -10000;
    return static_cast<int32_t>(std::log10(perMille / 1000.0) * 20 * 100);
}

bool CDxSound::Open(ISound* source, bool wholeBuffer) { return Create(source, wholeBuffer, kStreamMilliseconds); }

void CDxSound::Release() {
    m_buffer.reset();
    m_device.reset();
    m_halfSize = 0;
    m_sliceSize = 0;
    m_state = 0;
    m_source = nullptr;
    m_loop = false;
    m_shortRefills = 0;
    m_formatTag = m_channels = m_blockAlign = m_bitsPerSample = 0;
    m_samplesPerSec = m_avgBytesPerSec = 0;
    m_streaming = false;
    m_refill = SRefill();
}

bool CDxSound::Create(ISound* source, bool wholeBuffer, uint32_t bufferMilliseconds) {
    Release();
    if (!source) return true;
    m_device = GetAudioMixer();
    if (!m_device) {
        Release();
        return true;
    }
    m_formatTag = 1;
    m_samplesPerSec = source->GetSamplesPerSec();
    m_bitsPerSample = source->GetBitsPerSample();
    m_channels = source->GetChannels();
    m_blockAlign = static_cast<uint16_t>(m_channels * (m_bitsPerSample / 8));
    const uint64_t avg = static_cast<uint64_t>(m_blockAlign) * m_samplesPerSec;
    m_avgBytesPerSec = avg > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(avg);
    if (m_blockAlign == 0) {
        Release();
        return true;
    }
    // In 64 bits, and whole frames, so the middle notification falls on a frame.
    const uint64_t half = static_cast<uint64_t>(bufferMilliseconds) * avg / 1000 / m_blockAlign * m_blockAlign;
    uint64_t bytes;
    if (wholeBuffer) {
        bytes = source->GetDataSize();
    } else {
        if (half == 0 || 2 * half > AudioMixer::kMaxBufferBytes) {
            Log(ELogLevel::Error, "sound", "a stream buffer of %u ms cannot be made for this format",
                bufferMilliseconds);
            Release();
            return true;
        }
        m_halfSize = static_cast<uint32_t>(half);
        bytes = 2 * half;
    }
    if (bytes < m_blockAlign || bytes > AudioMixer::kMaxBufferBytes) {
        Log(ELogLevel::Error, "sound", "a buffer of %llu bytes cannot be played",
            static_cast<unsigned long long>(bytes));
        Release();
        return true;
    }
    std::vector<uint32_t> notifications = {0};
    if (!wholeBuffer) notifications.push_back(m_halfSize);
    notifications.push_back(AudioBuffer::kNotifyStop);
    SAudioFormat format;
    format.samplesPerSec = m_samplesPerSec;
    format.bitsPerSample = m_bitsPerSample;
    format.channels = m_channels;
    m_buffer = m_device->CreateBuffer(format, static_cast<uint32_t>(bytes), notifications);
    if (!m_buffer) {
        Log(ELogLevel::Error, "sound", "%u Hz, %u-bit, %u-channel PCM cannot be played", m_samplesPerSec,
            m_bitsPerSample, m_channels);
        Release();
        return true;
    }
    const uint64_t slice = avg * kRefillSliceMilliseconds / 1000 / m_blockAlign * m_blockAlign;
    m_sliceSize = static_cast<uint32_t>(std::max<uint64_t>(m_blockAlign, std::min<uint64_t>(slice, half)));
    m_streaming = !wholeBuffer;
    m_source = source;
    return false;
}

void CDxSound::FillSilence(uint8_t* at, uint32_t bytes) { std::memset(at, m_bitsPerSample == 8 ? 0x80 : 0, bytes); }

bool CDxSound::Play(bool loop) {
    if (!m_buffer) return true;
    if (m_state != 0) Stop();
    m_refill = SRefill();
    m_shortRefills = 0;
    // Notifications of an earlier run would refill the half that is about to play.
    m_buffer->SetCurrentPosition(0);
    for (size_t i = 0; i < kNotifyCount; ++i) m_buffer->TakeNotification(i);
    m_source->Rewind();
    // The first half of a looping stream already wraps around.
    m_loop = loop;
    if (m_streaming) {
        // The first slice now; the rest of the first half over the next frames, well ahead
        // of the play position.
        StartRefill(0, true);
        if (!m_buffer) return true;
    } else {
        const uint32_t n = std::min(m_source->GetDataSize(), m_buffer->GetSize());
        uint8_t* data = m_buffer->Lock(0, n);
        if (!data) {
            Release();
            return true;
        }
        m_source->Read(data, n);
    }
    m_buffer->Play(loop || m_streaming);
    m_state = loop ? 2 : 1;
    m_loop = loop;
    return false;
}

void CDxSound::StartRefill(uint32_t offset, bool initial) {
    m_refill = SRefill();
    m_refill.active = true;
    m_refill.initial = initial;
    m_refill.offset = offset;
    ContinueRefill();
    if (m_refill.active) CFrameDemand::Now();
}

void CDxSound::ContinueRefill() {
    uint8_t* half = m_buffer->Lock(m_refill.offset, m_halfSize);
    if (!half) {
        Release();
        return;
    }
    uint32_t ask = std::min(m_sliceSize, m_halfSize - m_refill.written);
    // A starved refill (frames came late) completes at once when playback nears its end;
    // the first slice is always a slice.
    const uint32_t cursor = m_buffer->GetCurrentPosition();
    if (m_refill.written > 0 && cursor >= m_refill.offset && cursor - m_refill.offset < m_halfSize &&
        cursor - m_refill.offset + m_sliceSize / 2 >= m_refill.written)
        ask = m_halfSize - m_refill.written;
    const int got = m_source->Read(half + m_refill.written, ask);
    if (got < 0) {
        m_refill.active = false;
        // Play ignores what its read gives; a refill stops the buffer.
        if (!m_refill.initial) m_buffer->Stop();
        return;
    }
    m_refill.written += static_cast<uint32_t>(std::min<int>(got, static_cast<int>(ask)));
    if (got > 0) m_refill.rewound = false;
    if (static_cast<uint32_t>(got) >= ask) {
        if (m_refill.written >= m_halfSize) m_refill.active = false;
        return;
    }
    // The source ran out within this half. A looping one starts again as often as the half
    // needs (the rest follows with the next slice), so that a loop shorter than a half
    // repeats without a gap; one that gave nothing since its last start is empty.
    if (m_loop && !m_refill.rewound) {
        m_refill.rewound = true;
        m_source->Rewind();
        return;
    }
    m_refill.active = false;
    FillSilence(half + m_refill.written, m_halfSize - m_refill.written);
    if (m_refill.initial || m_loop) return;
    if (m_shortRefills == 2) Stop();
    ++m_shortRefills;
}

void CDxSound::Update() {
    if (m_state == 0 || !m_streaming || !m_buffer) return;
    if (m_refill.active)
        ContinueRefill();
    else if (m_buffer->TakeNotification(kNotifyStart))
        StartRefill(m_halfSize, false);
    else if (m_buffer->TakeNotification(kNotifyMiddle))
        StartRefill(0, false);
    else
        m_buffer->TakeNotification(kNotifyCount - 1);  // the stop: nothing this frame
    // A refill goes on in the next frames; a notification may wait a little, as the other
    // half still holds seconds of sound.
    if (m_refill.active)
        CFrameDemand::Now();
    else
        CFrameDemand::Within(kRefillSliceMilliseconds);
}

void CDxSound::Stop() {
    if (!m_buffer) return;
    m_state = 0;
    m_refill = SRefill();
    m_buffer->Stop();
    m_buffer->SetCurrentPosition(0);
}

int CDxSound::IsPlaying() {
    if (m_state == 1 && (!m_buffer || !m_buffer->IsPlaying())) m_state = 0;
    return m_state;
}

void CDxSound::SetVolume(int perMille) {
    m_volume = std::min(1000, std::max(0, perMille));
    if (m_buffer) m_buffer->SetVolume(PerMilleToHundredthsOfDecibel(m_volume));
}

}  // namespace kestrin
