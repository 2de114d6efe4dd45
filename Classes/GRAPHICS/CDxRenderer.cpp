#include "GRAPHICS/CDxRenderer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "CORE/CLogWindow.h"
#include "GRAPHICS/CDxSurface.h"

namespace kestrin {

namespace {

constexpr const char* kFile = "Classes/GRAPHICS/CDxRenderer";

// Result names and their descriptions, as the error text shows them.
constexpr const char* kNotAvailable = "RENDERERR_NOTAVAILABLE";
constexpr const char* kNotAvailableText = "The graphics device could not start";
constexpr const char* kOutOfMemory = "RENDERERR_OUTOFVIDEOMEMORY";
constexpr const char* kOutOfMemoryText = "The device has no room for the texture";
constexpr const char* kDeviceLost = "RENDERERR_DEVICELOST";
constexpr const char* kDeviceLostText = "The device is lost and cannot be reset yet";
constexpr const char* kInvalidCall = "RENDERERR_INVALIDCALL";
constexpr const char* kInvalidCallText = "The device refused the call";

}  // namespace

CDxRenderer::CDxRenderer(std::shared_ptr<IRenderDevice> device)
    : m_device(device ? std::move(device) : CreateRenderDevice()) {}

CDxRenderer::~CDxRenderer() {
    Release();
    m_beforeReset.clear();
    m_afterReset.clear();
}

std::string CDxRenderer::FormatError(const char* file, int line, const char* method, const char* code,
                                     const std::string& description) {
    const int n = std::snprintf(nullptr, 0, "%s(%d): %s() %s - %s", file, line, method, code, description.c_str());
    std::string text(size_t(n > 0 ? n : 0), '\0');
    std::snprintf(&text[0], text.size() + 1, "%s(%d): %s() %s - %s", file, line, method, code, description.c_str());
    return text;
}

void CDxRenderer::StoreError(int line, const char* method, const char* code, const char* description) {
    std::string text = description;
    if (m_device && !m_device->GetError().empty()) text += ": " + m_device->GetError();
    m_lastError = FormatError(kFile, line, method, code, text);
    LogPrintf("%s", m_lastError.c_str());
}

void CDxRenderer::Release() {
    if (m_device) {
        if (m_backBuffer) m_device->DestroyTexture(m_backBuffer);
        m_device->Close();
    }
    m_backBuffer = 0;
    m_renderTarget = nullptr;
    m_open = false;
    m_lost = false;
}

bool CDxRenderer::CreateBackBuffer() {
    int32_t w = 0, h = 0;
    if (m_device->GetOutputSize(w, h) || w <= 0 || h <= 0) {
        StoreError(__LINE__, "kestrin::CDxRenderer::CreateBackBuffer", kInvalidCall, "The window has no size");
        return true;
    }
    m_backBuffer = m_device->CreateTexture(w, h, true);
    if (!m_backBuffer) {
        StoreError(__LINE__, "kestrin::CDxRenderer::CreateBackBuffer", kOutOfMemory, kOutOfMemoryText);
        return true;
    }
    m_width = w;
    m_height = h;
    m_renderTarget = nullptr;
    m_device->SetTarget(m_backBuffer);
    m_device->Clear(0xFF000000u);
    return false;
}

bool CDxRenderer::IsSoftwareRasteriserName(const std::string& rendererName) {
    for (const char* word : {"llvmpipe", "softpipe", "swrast"})
        if (rendererName.find(word) != std::string::npos) return true;
    return false;
}

bool CDxRenderer::Init(Window window) {
    Release();
    m_window = window;
    if (m_device && !m_acceptSoftwareRasteriser && !m_device->HasGraphicsDevice()) {
        m_lastError =
            "No graphics device (/dev/dri): the software renderer draws (FORCE_HARDWARE_RENDER=1 or "
            "KESTRIN_HARDWARE_RENDER=1 makes OpenGL draw on the CPU instead)";
        Log(ELogLevel::Note, "renderer", "%s", m_lastError.c_str());
        return true;
    }
    if (!m_device || m_device->Open(window)) {
        StoreError(__LINE__, "kestrin::CDxRenderer::Init", kNotAvailable, kNotAvailableText);
        return true;
    }
    if (!m_acceptSoftwareRasteriser && IsSoftwareRasteriserName(m_device->GetRendererName())) {
        m_lastError = "OpenGL draws with the software rasteriser \"" + m_device->GetRendererName() +
                      "\": the software renderer is faster (FORCE_HARDWARE_RENDER=1 or KESTRIN_HARDWARE_RENDER=1 "
                      "keeps the hardware renderer)";
        Log(ELogLevel::Note, "renderer", "%s", m_lastError.c_str());
        m_device->Close();
        return true;
    }
    if (CreateBackBuffer()) {
        m_device->Close();
        return true;
    }
    m_open = true;
    return false;
}

void CDxRenderer::RenderStart() {
    if (!m_open) return;
    // A reset reported between frames (SDL's reset events) makes the device lost.
    if (!m_lost && m_device->TestCooperativeLevel() != EDeviceState::kOk) m_lost = true;
    if (m_lost) {
        switch (m_device->TestCooperativeLevel()) {
            case EDeviceState::kNotReset:
                if (!DeviceReset()) m_lost = false;
                break;
            case EDeviceState::kOk:
                // Fine again (a screen-mode change reset it meanwhile); a back buffer that could
                // not be made then is made now.
                if (!m_backBuffer && DeviceReset()) return;
                m_lost = false;
                break;
            case EDeviceState::kLost:
                StoreError(__LINE__, "kestrin::CDxRenderer::RenderStart", kDeviceLost, kDeviceLostText);
                return;
        }
    }
    if (!m_renderTarget) m_device->SetTarget(m_backBuffer);
}

bool CDxRenderer::RenderEnd() {
    if (!m_open || m_lost) return true;
    if (!m_device->Present(m_backBuffer)) {
        // Drawing goes on into the back buffer (or the target set before).
        RefreshTarget();
        return false;
    }
    if (m_device->TestCooperativeLevel() != EDeviceState::kOk) {
        StoreError(__LINE__, "kestrin::CDxRenderer::RenderEnd", kDeviceLost, kDeviceLostText);
        m_lost = true;
    } else {
        StoreError(__LINE__, "kestrin::CDxRenderer::RenderEnd", kInvalidCall, kInvalidCallText);
    }
    return true;
}

void CDxRenderer::Clear() {
    SetRenderTarget(nullptr);
    if (m_open) m_device->Clear(0xFF000000u);
}

void CDxRenderer::SetRenderTarget(ISurface* surface) {
    m_renderTarget = surface;
    RefreshTarget();
}

void CDxRenderer::RefreshTarget() {
    if (!m_open) return;
    if (!m_renderTarget) {
        m_device->SetTarget(m_backBuffer);
        return;
    }
    // Only a render-target texture surface can be drawn into; others leave the device as it is.
    if (auto* dx = dynamic_cast<CDxSurface*>(m_renderTarget)) {
        if (dx->IsRenderTarget() && dx->GetTargetTexture()) m_device->SetTarget(dx->GetTargetTexture());
    }
}

void CDxRenderer::CaptureScreen(ISurface* surface) {
    if (!surface || !m_open || m_width <= 0 || m_height <= 0) return;
    std::vector<uint8_t> pixels(size_t(m_width) * size_t(m_height) * 4);
    m_device->SetTarget(m_backBuffer);
    const bool failed = m_device->ReadPixels(pixels.data(), m_width * 4);
    RefreshTarget();
    if (failed) {
        StoreError(__LINE__, "kestrin::CDxRenderer::CaptureScreen", kInvalidCall, kInvalidCallText);
        return;
    }
    if (surface->Init(m_width, m_height, ISurface::kPixel32, 0)) return;
    surface->Lock();
    for (int32_t y = 0; y < m_height; ++y) {
        uint8_t* row = surface->GetLine(y);
        if (!row) break;
        std::memcpy(row, &pixels[size_t(y) * m_width * 4], size_t(m_width) * 4);
    }
    surface->Unlock();
}

void CDxRenderer::CallHandlers(bool after) {
    std::map<const void*, Handler>& handlers = after ? m_afterReset : m_beforeReset;
    // A handler may register or remove handlers: walk the keys as they were.
    std::vector<const void*> keys;
    keys.reserve(handlers.size());
    for (const auto& entry : handlers) keys.push_back(entry.first);
    for (const void* key : keys) {
        auto it = handlers.find(key);
        if (it == handlers.end() || !it->second) continue;
        Handler handler = it->second;
        handler();
    }
}

bool CDxRenderer::DeviceReset() {
    if (!m_device) return true;
    if (m_backBuffer) m_device->DestroyTexture(m_backBuffer);
    m_backBuffer = 0;
    m_renderTarget = nullptr;
    CallHandlers(false);
    // Until a reset succeeds, frames are not drawn and each one tries again.
    m_lost = true;
    if (m_device->Reset()) {
        StoreError(__LINE__, "kestrin::CDxRenderer::DeviceReset", kDeviceLost, kDeviceLostText);
        return true;
    }
    if (CreateBackBuffer()) return true;
    m_lost = false;
    CallHandlers(true);
    m_renderTarget = nullptr;
    m_device->SetTarget(m_backBuffer);
    return false;
}

bool CDxRenderer::ChangeScreenMode(Window window, int32_t pixelFormat, bool windowed) {
    if (!windowed) {
        if (pixelFormat < 0 || pixelFormat > 2) {
            m_lastError = "Unsupported Pixed Format.";
            return true;
        }
        m_fullScreenFormat = pixelFormat;
    }
    m_window = window;
    if (!m_open) return true;
    return DeviceReset();
}

void CDxRenderer::AddDeviceResetHandler(const void* key, Handler before, Handler after) {
    m_beforeReset[key] = std::move(before);
    m_afterReset[key] = std::move(after);
}

void CDxRenderer::RemoveDeviceResetHandler(const void* key) {
    m_beforeReset.erase(key);
    m_afterReset.erase(key);
}

bool CDxRenderer::DrawQuad(TextureId texture, const SQuadVertex corners[4], uint8_t opacity, EQuadBlend blend,
                           bool linear) {
    if (!m_open || m_lost || !texture) return true;
    return m_device->DrawQuad(texture, corners, opacity, blend, linear);
}

bool CDxRenderer::ComposeArea(TextureId target, TextureId image, int32_t imageWidth, int32_t imageHeight,
                              TextureId mask, int32_t maskWidth, int32_t maskHeight, int32_t x, int32_t y, int32_t w,
                              int32_t h) {
    if (!m_open || m_lost || !target || !image || w <= 0 || h <= 0 || imageWidth <= 0 || imageHeight <= 0 ||
        (mask && (maskWidth <= 0 || maskHeight <= 0)))
        return true;
    const float fw = float(w), fh = float(h);
    auto quad = [&](SQuadVertex q[4], int32_t tw, int32_t th) {
        const float u0 = float(x) / float(tw), v0 = float(y) / float(th);
        const float u1 = float(x + w) / float(tw), v1 = float(y + h) / float(th);
        q[0] = {0, 0, u0, v0};
        q[1] = {fw, 0, u1, v0};
        q[2] = {fw, fh, u1, v1};
        q[3] = {0, fh, u0, v1};
    };
    SQuadVertex q[4];
    m_device->SetTarget(target);
    quad(q, imageWidth, imageHeight);
    bool failed = m_device->DrawQuad(image, q, 255, EQuadBlend::kCopy, false);
    if (mask) {
        quad(q, maskWidth, maskHeight);
        failed = m_device->DrawQuad(mask, q, 255, EQuadBlend::kMask, false) || failed;
    }
    RefreshTarget();
    return failed;
}

}  // namespace kestrin
