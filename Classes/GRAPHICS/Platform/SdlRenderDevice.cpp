#include "GRAPHICS/Platform/SdlRenderDevice.h"

#include <cstring>
#ifdef __linux__
#include <dirent.h>
#endif
#include <vector>

#include "CORE/WindowMessages.h"

namespace kestrin {

namespace {

bool IsOurDriver(const char* name) {
    return name && (std::strcmp(name, "opengl") == 0 || std::strcmp(name, "opengles2") == 0);
}

// The render driver's index: the one the environment names when it is ours, else OpenGL, else
// OpenGL ES 2; -1 when none of them is built in.
int PickDriver() {
    const char* wanted = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
    const char* order[] = {IsOurDriver(wanted) ? wanted : "opengl", "opengl", "opengles2"};
    for (const char* name : order) {
        for (int i = 0; i < SDL_GetNumRenderDrivers(); ++i) {
            SDL_RendererInfo info;
            if (SDL_GetRenderDriverInfo(i, &info) == 0 && std::strcmp(info.name, name) == 0) return i;
        }
    }
    return -1;
}

// GL_RENDERER of the context SDL's renderer has just made current.
std::string QueryRendererName() {
    using GetStringFn = const unsigned char* (*)(unsigned int);
    auto getString = reinterpret_cast<GetStringFn>(SDL_GL_GetProcAddress("glGetString"));
    if (!getString || !SDL_GL_GetCurrentContext()) return std::string();
    constexpr unsigned int kGlRenderer = 0x1F01;
    const unsigned char* name = getString(kGlRenderer);
    return name ? std::string(reinterpret_cast<const char*>(name)) : std::string();
}

SDL_BlendMode Compose(SDL_BlendFactor src, SDL_BlendFactor dst, SDL_BlendFactor srcAlpha, SDL_BlendFactor dstAlpha) {
    return SDL_ComposeCustomBlendMode(src, dst, SDL_BLENDOPERATION_ADD, srcAlpha, dstAlpha, SDL_BLENDOPERATION_ADD);
}

}  // namespace

SdlRenderDevice::SdlRenderDevice(bool ownWindow) : m_ownWindow(ownWindow) {
    // Alpha keeps the premultiplied "over" rule in every mode, so an opaque target stays opaque.
    const SDL_BlendFactor one = SDL_BLENDFACTOR_ONE, inv = SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA;
    m_modes[int(EQuadBlend::kCopy)] = SDL_BLENDMODE_NONE;
    m_modes[int(EQuadBlend::kNormal)] = Compose(one, inv, one, inv);
    m_modes[int(EQuadBlend::kAdd)] = Compose(one, one, one, inv);
    m_modes[int(EQuadBlend::kMultiply)] = Compose(SDL_BLENDFACTOR_DST_COLOR, inv, one, inv);
    m_modes[int(EQuadBlend::kScreen)] = Compose(SDL_BLENDFACTOR_ONE_MINUS_DST_COLOR, one, one, inv);
    m_modes[int(EQuadBlend::kMask)] =
        Compose(SDL_BLENDFACTOR_ZERO, SDL_BLENDFACTOR_SRC_ALPHA, SDL_BLENDFACTOR_ZERO, SDL_BLENDFACTOR_SRC_ALPHA);
}

SdlRenderDevice::~SdlRenderDevice() { Close(); }

bool SdlRenderDevice::Fail(const char* what) {
    m_error = what;
    const char* sdl = SDL_GetError();
    if (sdl && *sdl) {
        m_error += ": ";
        m_error += sdl;
    }
    return true;
}

int SDLCALL SdlRenderDevice::WatchEvents(void* self, SDL_Event* event) {
    auto* device = static_cast<SdlRenderDevice*>(self);
    if (event->type == SDL_RENDER_TARGETS_RESET)
        device->m_targetsReset = true;
    else if (event->type == SDL_RENDER_DEVICE_RESET)
        device->m_deviceReset = true;
    return 0;
}

bool SdlRenderDevice::HasGraphicsDevice() const {
#ifdef __linux__
    // Every GPU driver of Linux makes a node under /dev/dri; without one, Mesa can only run
    // llvmpipe or softpipe.
    DIR* dri = opendir("/dev/dri");
    if (!dri) return false;
    bool found = false;
    while (const dirent* entry = readdir(dri))
        if (std::strncmp(entry->d_name, "card", 4) == 0 || std::strncmp(entry->d_name, "renderD", 7) == 0) found = true;
    closedir(dri);
    return found;
#else
    return true;
#endif
}

bool SdlRenderDevice::Open(WindowHandle window) {
    Close();
    m_error.clear();
    SDL_Window* w = static_cast<SDL_Window*>(GetWindowSystem().GetNativeWindow(window));
    if (!w) {
        if (!m_ownWindow) {
            m_error = "the window has no SDL window to draw into";
            return true;
        }
        int width = 0, height = 0;
        GetWindowSystem().GetClientSize(window, width, height);
        if (width <= 0 || height <= 0) {
            m_error = "the window has no client area";
            return true;
        }
        if (!SDL_WasInit(SDL_INIT_VIDEO)) {
            // SIGINT and SIGTERM keep ending the process: SDL would turn them into quit events
            // that nobody reads here.
            SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
            if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return Fail("SDL_InitSubSystem");
            m_initedVideo = true;
        }
        w = SDL_CreateWindow("Kestrin", 0, 0, width, height, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
        if (!w) {
            Fail("SDL_CreateWindow");
            Close();
            return true;
        }
        m_createdWindow = true;
    }
    m_window = w;
    m_windowId = SDL_GetWindowID(w);
    const char* video = SDL_GetCurrentVideoDriver();
    if (!video || std::strcmp(video, "dummy") == 0) {
        m_error = "the dummy video driver has no graphics device";
        Close();
        return true;
    }
    const int index = PickDriver();
    if (index < 0) {
        m_error = "SDL has no OpenGL render driver";
        Close();
        return true;
    }
    // Every draw goes through SDL, so its command batching is safe and saves GL calls.
    SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
    m_renderer =
        SDL_CreateRenderer(w, index, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE | SDL_RENDERER_PRESENTVSYNC);
    if (!m_renderer) {
        Fail("SDL_CreateRenderer");
        Close();
        return true;
    }
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(m_renderer, &info) != 0 || !IsOurDriver(info.name) ||
        !(info.flags & SDL_RENDERER_TARGETTEXTURE)) {
        m_error = "the SDL renderer cannot draw into textures";
        Close();
        return true;
    }
    m_rendererName = QueryRendererName();
    // The layer modes need custom blend factors: refuse a renderer without them.
    SDL_Texture* probe = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, 1, 1);
    bool blends = probe != nullptr;
    for (SDL_BlendMode mode : m_modes)
        if (blends && SDL_SetTextureBlendMode(probe, mode) != 0) blends = false;
    if (probe) SDL_DestroyTexture(probe);
    if (!blends) {
        Fail("the renderer has no custom blend factors");
        Close();
        return true;
    }
    SDL_AddEventWatch(&SdlRenderDevice::WatchEvents, this);
    m_watching = true;
    m_targetsReset = false;
    m_deviceReset = false;
    return false;
}

bool SdlRenderDevice::Alive() const {
    if (!m_renderer || !m_window || !SDL_WasInit(SDL_INIT_VIDEO)) return false;
    // SDL destroys a window's renderer with the window: look the window up before touching it.
    return m_windowId != 0 && SDL_GetWindowFromID(m_windowId) == m_window && SDL_GetRenderer(m_window) == m_renderer;
}

void SdlRenderDevice::Close() {
    if (m_watching) SDL_DelEventWatch(&SdlRenderDevice::WatchEvents, this);
    m_watching = false;
    const bool alive = Alive();
    if (alive)
        for (auto& entry : m_textures) {
            DropTwin(entry.second);
            SDL_DestroyTexture(entry.second.texture);
        }
    m_textures.clear();
    if (alive) SDL_DestroyRenderer(m_renderer);
    m_renderer = nullptr;
    if (m_createdWindow && m_window) SDL_DestroyWindow(m_window);
    m_createdWindow = false;
    m_window = nullptr;
    m_windowId = 0;
    if (m_initedVideo) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    m_initedVideo = false;
    m_target = 0;
    m_rendererName.clear();
}

bool SdlRenderDevice::GetOutputSize(int32_t& width, int32_t& height) {
    if (!Alive()) return true;
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(m_renderer, &w, &h) != 0) return Fail("SDL_GetRendererOutputSize");
    width = w;
    height = h;
    return false;
}

SdlRenderDevice::STexture* SdlRenderDevice::Find(TextureId texture) {
    auto it = m_textures.find(texture);
    return it == m_textures.end() ? nullptr : &it->second;
}

IRenderDevice::TextureId SdlRenderDevice::CreateTexture(int32_t width, int32_t height, bool renderTarget) {
    if (!Alive() || width <= 0 || height <= 0) return 0;
    SDL_Texture* t =
        SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888,
                          renderTarget ? SDL_TEXTUREACCESS_TARGET : SDL_TEXTUREACCESS_STATIC, width, height);
    if (!t) {
        Fail("SDL_CreateTexture");
        return 0;
    }
    SDL_SetTextureScaleMode(t, SDL_ScaleModeNearest);
    const TextureId id = m_nextId++;
    if (m_nextId == 0) m_nextId = 1;
    STexture entry;
    entry.texture = t;
    entry.width = width;
    entry.height = height;
    entry.renderTarget = renderTarget;
    m_textures[id] = entry;
    return id;
}

void SdlRenderDevice::DestroyTexture(TextureId texture) {
    auto it = m_textures.find(texture);
    if (it == m_textures.end()) return;
    if (m_target == texture) {
        if (Alive()) SDL_SetRenderTarget(m_renderer, nullptr);
        m_target = 0;
    }
    if (Alive()) {
        DropTwin(it->second);
        SDL_DestroyTexture(it->second.texture);
    }
    m_textures.erase(it);
}

bool SdlRenderDevice::IsTextureValid(TextureId texture) { return Find(texture) != nullptr; }

bool SdlRenderDevice::UpdateTexture(TextureId texture, const uint8_t* pixels, int32_t pitch) {
    STexture* t = Find(texture);
    if (!t || !pixels || !Alive()) return true;
    DropTwin(*t);
    if (SDL_UpdateTexture(t->texture, nullptr, pixels, pitch) != 0) return Fail("SDL_UpdateTexture");
    return false;
}

void SdlRenderDevice::DropTwin(STexture& t) {
    if (t.twin && Alive()) SDL_DestroyTexture(t.twin);
    t.twin = nullptr;
    t.twinBlend = SDL_BLENDMODE_INVALID;
}

SDL_Texture* SdlRenderDevice::Twin(STexture& t) {
    if (t.twin) return t.twin;
    SDL_Texture* twin =
        SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, t.width, t.height);
    if (!twin) return nullptr;
    SDL_SetTextureScaleMode(twin, SDL_ScaleModeLinear);
    // Copied on the device, once per change of the pixels.
    if (t.blend != SDL_BLENDMODE_NONE) {
        SDL_SetTextureBlendMode(t.texture, SDL_BLENDMODE_NONE);
        t.blend = SDL_BLENDMODE_NONE;
    }
    STexture* current = m_target ? Find(m_target) : nullptr;
    const bool ok =
        SDL_SetRenderTarget(m_renderer, twin) == 0 && SDL_RenderCopy(m_renderer, t.texture, nullptr, nullptr) == 0;
    SDL_SetRenderTarget(m_renderer, current ? current->texture : nullptr);
    if (!ok) {
        SDL_DestroyTexture(twin);
        return nullptr;
    }
    t.twin = twin;
    return twin;
}

bool SdlRenderDevice::SetTarget(TextureId target) {
    if (!Alive()) return true;
    STexture* t = target ? Find(target) : nullptr;
    if (target && !t) return true;
    if (SDL_SetRenderTarget(m_renderer, t ? t->texture : nullptr) != 0) return Fail("SDL_SetRenderTarget");
    m_target = target;
    return false;
}

bool SdlRenderDevice::Clear(uint32_t argb) {
    if (!Alive() || m_target == 0) return true;
    SDL_SetRenderDrawBlendMode(m_renderer, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(m_renderer, Uint8(argb >> 16), Uint8(argb >> 8), Uint8(argb), Uint8(argb >> 24));
    if (SDL_RenderClear(m_renderer) != 0) return Fail("SDL_RenderClear");
    return false;
}

bool SdlRenderDevice::DrawQuad(TextureId texture, const SQuadVertex corners[4], uint8_t opacity, EQuadBlend blend,
                               bool linear) {
    STexture* t = Find(texture);
    if (!t || m_target == 0 || !Alive()) return true;
    const SDL_BlendMode mode = m_modes[int(blend)];
    SDL_Texture* source = t->texture;
    if (linear && !t->renderTarget) {
        if (SDL_Texture* twin = Twin(*t)) {
            if (t->twinBlend != mode) {
                SDL_SetTextureBlendMode(twin, mode);
                t->twinBlend = mode;
            }
            source = twin;
        }
    }
    if (source == t->texture && t->blend != mode) {
        SDL_SetTextureBlendMode(t->texture, mode);
        t->blend = mode;
    }
    if (source == t->texture && t->linear != linear) {
        // The filter is texture state that SDL applies at once: draws queued before must
        // keep the filter they were queued with.
        SDL_RenderFlush(m_renderer);
        SDL_SetTextureScaleMode(t->texture, linear ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
        t->linear = linear;
    }
    SDL_Vertex v[4];
    for (int i = 0; i < 4; ++i) {
        v[i].position = SDL_FPoint{corners[i].x, corners[i].y};
        v[i].color = SDL_Color{opacity, opacity, opacity, opacity};
        v[i].tex_coord = SDL_FPoint{corners[i].u, corners[i].v};
    }
    static const int kIndices[6] = {0, 1, 2, 0, 2, 3};
    if (SDL_RenderGeometry(m_renderer, source, v, 4, kIndices, 6) != 0) return Fail("SDL_RenderGeometry");
    return false;
}

bool SdlRenderDevice::ReadPixels(uint8_t* pixels, int32_t pitch) {
    if (!Alive() || m_target == 0 || !pixels) return true;
    if (SDL_RenderReadPixels(m_renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels, pitch) != 0)
        return Fail("SDL_RenderReadPixels");
    return false;
}

bool SdlRenderDevice::Present(TextureId backBuffer) {
    STexture* t = Find(backBuffer);
    if (!t || !Alive()) return true;
    const TextureId previous = m_target;
    if (SDL_SetRenderTarget(m_renderer, nullptr) != 0) return Fail("SDL_SetRenderTarget");
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(m_renderer, &w, &h);
    const bool stretched = w != t->width || h != t->height;
    if (t->blend != SDL_BLENDMODE_NONE) {
        SDL_SetTextureBlendMode(t->texture, SDL_BLENDMODE_NONE);
        t->blend = SDL_BLENDMODE_NONE;
    }
    if (t->linear != stretched) {
        SDL_RenderFlush(m_renderer);
        SDL_SetTextureScaleMode(t->texture, stretched ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
        t->linear = stretched;
    }
    SDL_SetRenderDrawColor(m_renderer, 0, 0, 0, 255);
    SDL_RenderClear(m_renderer);
    const bool failed = SDL_RenderCopy(m_renderer, t->texture, nullptr, nullptr) != 0;
    if (failed) Fail("SDL_RenderCopy");
    SDL_RenderPresent(m_renderer);
    m_target = 0;
    if (previous) SetTarget(previous);
    return failed;
}

bool SdlRenderDevice::PushResetEvent(bool deviceReset) {
    SDL_Event event;
    SDL_zero(event);
    event.type = deviceReset ? SDL_RENDER_DEVICE_RESET : SDL_RENDER_TARGETS_RESET;
    return SDL_PushEvent(&event) != 1;
}

EDeviceState SdlRenderDevice::TestCooperativeLevel() {
    if (!Alive()) return EDeviceState::kLost;
    if (m_targetsReset || m_deviceReset) return EDeviceState::kNotReset;
    return EDeviceState::kOk;
}

bool SdlRenderDevice::Reset() {
    if (!Alive()) return Fail("the renderer is gone");
    // Filtered copies live in render targets: made again when next needed.
    for (auto& entry : m_textures) DropTwin(entry.second);
    if (m_deviceReset.exchange(false)) {
        // Every texture of the old device is gone: its owners make new ones.
        for (auto& entry : m_textures) SDL_DestroyTexture(entry.second.texture);
        m_textures.clear();
        m_target = 0;
        SDL_SetRenderTarget(m_renderer, nullptr);
    }
    m_targetsReset = false;
    return false;
}

}  // namespace kestrin
