#pragma once
// The graphics device on SDL_Renderer's OpenGL (or OpenGL ES 2) back-end. SDL's own software
// renderer cannot blend with the layer factors, so it is never taken.
#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "GRAPHICS/Platform/IRenderDevice.h"

namespace kestrin {

class SdlRenderDevice : public IRenderDevice {
public:
    // ownWindow: when the handle has no SDL window behind it (the headless window system of
    // the harness), draw into a hidden SDL window of the handle's client size instead.
    explicit SdlRenderDevice(bool ownWindow = false);
    ~SdlRenderDevice() override;
    SdlRenderDevice(const SdlRenderDevice&) = delete;
    SdlRenderDevice& operator=(const SdlRenderDevice&) = delete;

    bool Open(WindowHandle window) override;
    void Close() override;
    const std::string& GetError() const override { return m_error; }
    const std::string& GetRendererName() const override { return m_rendererName; }
    bool HasGraphicsDevice() const override;
    bool GetOutputSize(int32_t& width, int32_t& height) override;
    TextureId CreateTexture(int32_t width, int32_t height, bool renderTarget) override;
    void DestroyTexture(TextureId texture) override;
    bool IsTextureValid(TextureId texture) override;
    bool UpdateTexture(TextureId texture, const uint8_t* pixels, int32_t pitch) override;
    bool SetTarget(TextureId target) override;
    bool Clear(uint32_t argb) override;
    bool DrawQuad(TextureId texture, const SQuadVertex corners[4], uint8_t opacity, EQuadBlend blend,
                  bool linear) override;
    bool ReadPixels(uint8_t* pixels, int32_t pitch) override;
    bool Present(TextureId backBuffer) override;
    EDeviceState TestCooperativeLevel() override;
    bool Reset() override;

    // Pushes SDL's render-targets-reset (or device-reset) event, as a lost device would.
    static bool PushResetEvent(bool deviceReset);

private:
    struct STexture {
        SDL_Texture* texture = nullptr;
        int32_t width = 0, height = 0;
        bool renderTarget = false;
        bool linear = false;
        SDL_BlendMode blend = SDL_BLENDMODE_INVALID;
        // A filtered copy of an ordinary texture: SDL applies the filter as texture state at
        // once, so one texture drawn both ways in a frame would need a flush between the two.
        SDL_Texture* twin = nullptr;
        SDL_BlendMode twinBlend = SDL_BLENDMODE_INVALID;
    };
    static int SDLCALL WatchEvents(void* self, SDL_Event* event);
    bool Fail(const char* what);
    // The renderer, unless SDL already destroyed it with its window.
    bool Alive() const;
    STexture* Find(TextureId texture);
    SDL_Texture* Twin(STexture& t);
    void DropTwin(STexture& t);

    bool m_ownWindow;
    bool m_createdWindow = false;
    bool m_initedVideo = false;
    SDL_Window* m_window = nullptr;
    Uint32 m_windowId = 0;
    SDL_Renderer* m_renderer = nullptr;
    std::string m_rendererName;
    std::string m_error;
    std::unordered_map<TextureId, STexture> m_textures;
    TextureId m_nextId = 1;
    TextureId m_target = 0;
    SDL_BlendMode m_modes[6] = {};
    std::atomic<bool> m_targetsReset{false};
    std::atomic<bool> m_deviceReset{false};
    bool m_watching = false;
};

}  // namespace kestrin
