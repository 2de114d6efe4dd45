#include "GRAPHICS/CDsVideo.h"

#include <climits>

#include "CORE/CLogWindow.h"
#include "CORE/CTimer.h"
#include "CORE/GamePath.h"
#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/IVideoDecoder.h"

namespace kestrin {

CDsVideo::CDsVideo(ISurfaceFactory* surfaceFactory, ILayerFactory* layerFactory)
    : m_surfaceFactory(surfaceFactory), m_layerFactory(layerFactory) {}

CDsVideo::~CDsVideo() { Stop(); }

void CDsVideo::Play(const std::string& path) {
    if (m_playing)
        Stop();
    m_name = path;
    std::string native;
    if (ResolveGamePath(path, native)) {
        LogPrintf("Movie \"%s\" not found", path.c_str());
        return;
    }
    if (!m_surfaceFactory || !m_layerFactory) {
        LogPrintf("Movie \"%s\" cannot be shown: no renderer", path.c_str());
        return;
    }
    m_decoder = CreateVideoDecoder();
    if (!m_decoder || m_decoder->Open(native)) {
        LogPrintf("Movie \"%s\" cannot be played: %s", path.c_str(),
                  m_decoder ? m_decoder->GetError().c_str() : "no decoder");
        m_decoder.reset();
        return;
    }
    m_surface = m_surfaceFactory->Create();
    if (!m_surface ||
        m_surface->Init(m_decoder->GetWidth(), m_decoder->GetHeight(), ISurface::kPixel32, 0)) {
        LogPrintf("Movie \"%s\" cannot be played: no picture of %dx%d", path.c_str(), m_decoder->GetWidth(),
                  m_decoder->GetHeight());
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
}

void CDsVideo::Stop() {
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
        case IVideoDecoder::EFrame::kSame:
            return false;
        case IVideoDecoder::EFrame::kEnd:
            return true;
        case IVideoDecoder::EFrame::kError:
            break;
    }
    LogPrintf("Movie \"%s\" cannot be decoded: %s", m_name.c_str(),
              pixels ? m_decoder->GetError().c_str() : "its picture cannot be written");
    return true;
}

void CDsVideo::Update() {
    if (!m_playing)
        return;
    if (ShowPictureAt(CTimer::GetInstance()->GetTime() - m_startTime))
        Stop();
}

void CDsVideo::Draw(const CMatrix2D& screenMatrix, int32_t width, int32_t height) {
    if (!m_playing || !m_layer || !m_surface)
        return;
    const int32_t w = m_surface->GetWidth(), h = m_surface->GetHeight();
    if (w <= 0 || h <= 0 || width <= 0 || height <= 0)
        return;
    auto scaleOf = [](int32_t wanted, int32_t actual) {
        const int64_t s = int64_t(wanted) * 65536 / actual;
        return static_cast<int32_t>(s > INT32_MAX ? INT32_MAX : s);
    };
    m_layer->SetXScale(scaleOf(width, w));
    m_layer->SetYScale(scaleOf(height, h));
    m_layer->Draw(screenMatrix, 255.0f);
}

}  // namespace kestrin
