#include "GRAPHICS/CDsVideo.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "CORE/CFrameDemand.h"
#include "CORE/CLogWindow.h"
#include "CORE/CTimer.h"
#include "CORE/GamePath.h"
#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/IVideoDecoder.h"
#include "SOUND/AudioSystem.h"

namespace kestrin {

namespace {
// The ring holds four seconds; the sound is written half a second ahead of the clock, and
// as much again after it is kept silent, so that a stalled game never replays old sound.
constexpr uint32_t kRingMs = 4000;
constexpr uint32_t kLeadMs = 500;
constexpr size_t kFeedFrames = 4096;
}  // namespace

CDsVideo::CDsVideo(ISurfaceFactory* surfaceFactory, ILayerFactory* layerFactory)
    : m_surfaceFactory(surfaceFactory), m_layerFactory(layerFactory) {}

CDsVideo::~CDsVideo() { Stop(); }

void CDsVideo::Play(const std::string& path) {
    if (m_playing) Stop();
    m_name = path;
    std::string native;
    if (ResolveGamePath(path, native)) {
        Log(ELogLevel::Error, "video", "Movie \"%s\" not found", path.c_str());
        return;
    }
    if (!m_surfaceFactory || !m_layerFactory) {
        Log(ELogLevel::Error, "video", "Movie \"%s\" cannot be shown: no renderer", path.c_str());
        return;
    }
    m_decoder = CreateVideoDecoder();
    if (!m_decoder || m_decoder->Open(native)) {
        Log(ELogLevel::Error, "video", "Movie \"%s\" cannot be played: %s", path.c_str(),
            m_decoder ? m_decoder->GetError().c_str() : "no decoder");
        m_decoder.reset();
        return;
    }
    m_surface = m_surfaceFactory->Create();
    if (!m_surface || m_surface->Init(m_decoder->GetWidth(), m_decoder->GetHeight(), ISurface::kPixel32, 0)) {
        Log(ELogLevel::Error, "video", "Movie \"%s\" cannot be played: no picture of %dx%d", path.c_str(),
            m_decoder->GetWidth(), m_decoder->GetHeight());
        Stop();
        return;
    }
    m_startTime = CTimer::GetInstance()->GetTime();
    if (ShowPictureAt(0)) {
        Stop();
        return;
    }
    m_layer = m_layerFactory->Create();
    m_layer->SetSurface(m_surface);
    m_playing = true;
    StartSound();
}

void CDsVideo::StartSound() {
    std::shared_ptr<AudioMixer> mixer = GetAudioMixer();
    if (!mixer) return;
    m_soundRate = mixer->GetRate();
    m_ringFrames = static_cast<uint32_t>(uint64_t(m_soundRate) * kRingMs / 1000);
    SAudioFormat format;
    format.samplesPerSec = m_soundRate;
    format.bitsPerSample = 16;
    format.channels = 2;
    m_sound = mixer->CreateBuffer(format, m_ringFrames * format.BlockAlign(), {});
    m_writeFrame = 0;
    m_soundWritten = 0;
    m_soundEnded = false;
    if (!m_sound) return;
    FeedSound(0);
    if (m_soundWritten == 0) {
        // A movie without sound leaves the mixer alone.
        m_sound.reset();
        return;
    }
    m_sound->Play(true);
}

void CDsVideo::FeedSound(uint32_t ms) {
    if (!m_sound) return;
    const uint64_t lead = uint64_t(m_soundRate) * kLeadMs / 1000;
    const uint64_t target = uint64_t(ms) * m_soundRate / 1000 + lead;
    m_soundScratch.resize(kFeedFrames * 2);
    while (!m_soundEnded && m_soundWritten < target) {
        const size_t want = static_cast<size_t>(
            std::min<uint64_t>({target - m_soundWritten, m_ringFrames - m_writeFrame, kFeedFrames}));
        const size_t got = m_decoder->ReadSound(m_soundRate, m_soundScratch.data(), want);
        if (got > 0) {
            if (uint8_t* bytes = m_sound->Lock(m_writeFrame * 4, static_cast<uint32_t>(got * 4)))
                std::memcpy(bytes, m_soundScratch.data(), got * 4);
            m_writeFrame = static_cast<uint32_t>((m_writeFrame + got) % m_ringFrames);
            m_soundWritten += got;
        }
        if (got < want) m_soundEnded = true;
    }
    // Silence after what is written.
    uint32_t at = m_writeFrame;
    for (uint64_t left = lead; left > 0;) {
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(left, m_ringFrames - at));
        if (uint8_t* bytes = m_sound->Lock(at * 4, n * 4)) std::memset(bytes, 0, size_t(n) * 4);
        at = (at + n) % m_ringFrames;
        left -= n;
    }
}

void CDsVideo::StopSound() {
    if (m_sound) m_sound->Stop();
    m_sound.reset();
}

void CDsVideo::Stop() {
    StopSound();
    m_playing = false;
    m_layer.reset();
    m_surface.reset();
    m_decoder.reset();
}

bool CDsVideo::ShowPictureAt(uint32_t ms) {
    m_surface->Lock();
    uint8_t* pixels = m_surface->GetLine(0);
    const IVideoDecoder::EFrame result =
        pixels ? m_decoder->FrameAt(ms, pixels, m_surface->GetPitch()) : IVideoDecoder::EFrame::kError;
    m_surface->Unlock();
    switch (result) {
        case IVideoDecoder::EFrame::kNew:
            // A layer that resamples the picture builds it again.
            if (auto* object = dynamic_cast<CDisplayObject*>(m_layer.get()))
                object->AddDirtyFlags(CDisplayObject::kDirtyContent);
            return false;
        case IVideoDecoder::EFrame::kSame: return false;
        case IVideoDecoder::EFrame::kEnd: return true;
        case IVideoDecoder::EFrame::kError: break;
    }
    Log(ELogLevel::Error, "video", "Movie \"%s\" cannot be decoded: %s", m_name.c_str(),
        pixels ? m_decoder->GetError().c_str() : "its picture cannot be written");
    return true;
}

void CDsVideo::Update() {
    if (!m_playing) return;
    CFrameDemand::Now();
    const uint32_t ms = CTimer::GetInstance()->GetTime() - m_startTime;
    if (ShowPictureAt(ms)) {
        Stop();
        return;
    }
    FeedSound(ms);
}

void CDsVideo::Draw(const CMatrix2D& screenMatrix, int32_t width, int32_t height) {
    if (!m_playing || !m_layer || !m_surface) return;
    const int32_t w = m_surface->GetWidth(), h = m_surface->GetHeight();
    if (w <= 0 || h <= 0 || width <= 0 || height <= 0) return;
    auto scaleOf = [](int32_t wanted, int32_t actual) {
        const int64_t s = int64_t(wanted) * 65536 / actual;
        return static_cast<int32_t>(s > INT32_MAX ? INT32_MAX : s);
    };
    m_layer->SetXScale(scaleOf(width, w));
    m_layer->SetYScale(scaleOf(height, h));
    m_layer->Draw(screenMatrix, 255.0f);
}

}  // namespace kestrin
