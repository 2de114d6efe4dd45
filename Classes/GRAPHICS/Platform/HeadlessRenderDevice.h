#pragma once
// Headless graphics device for tests: textures are kept in memory (what was uploaded, what a
// clear wrote), quads are recorded instead of drawn, and failures and resets are scripted.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "GRAPHICS/Platform/IRenderDevice.h"

namespace kestrin {

class HeadlessRenderDevice : public IRenderDevice {
public:
    struct STexture {
        int32_t width = 0, height = 0;
        bool renderTarget = false;
        std::vector<uint8_t> pixels;  // rows of width x 4 bytes
        int32_t uploads = 0;
    };
    struct SDraw {
        TextureId texture = 0;
        TextureId target = 0;
        SQuadVertex corners[4];
        uint8_t opacity = 0;
        EQuadBlend blend = EQuadBlend::kCopy;
        bool linear = false;
    };

    HeadlessRenderDevice(int32_t width, int32_t height) : m_width(width), m_height(height) {}

    bool Open(WindowHandle window) override;
    void Close() override;
    const std::string& GetError() const override { return m_error; }
    const std::string& GetRendererName() const override { return rendererName; }
    bool HasGraphicsDevice() const override { return graphicsDevice; }
    bool GetOutputSize(int32_t& width, int32_t& height) override;
    TextureId CreateTexture(int32_t width, int32_t height, bool renderTarget) override;
    void DestroyTexture(TextureId texture) override;
    bool IsTextureValid(TextureId texture) override { return m_textures.count(texture) != 0; }
    bool UpdateTexture(TextureId texture, const uint8_t* pixels, int32_t pitch) override;
    bool SetTarget(TextureId target) override;
    bool Clear(uint32_t argb) override;
    bool DrawQuad(TextureId texture, const SQuadVertex corners[4], uint8_t opacity, EQuadBlend blend,
                  bool linear) override;
    bool ReadPixels(uint8_t* pixels, int32_t pitch) override;
    bool Present(TextureId backBuffer) override;
    EDeviceState TestCooperativeLevel() override { return m_state; }
    bool Reset() override;

    // Script
    bool failOpen = false;
    bool failTextures = false;
    bool failPresent = false;
    bool failReset = false;
    std::string rendererName;
    bool graphicsDevice = true;
    // What the device reports, as after SDL's reset events: targetsOnly keeps the
    // ordinary textures, else every texture is gone after Reset.
    void SimulateReset(bool targetsOnly) {
        m_state = EDeviceState::kNotReset;
        m_targetsOnly = targetsOnly;
    }
    void SetState(EDeviceState state) { m_state = state; }
    void Resize(int32_t width, int32_t height) {
        m_width = width;
        m_height = height;
    }

    // Inspection
    const std::map<TextureId, STexture>& GetTextures() const { return m_textures; }
    const STexture* FindTexture(TextureId id) const;
    const std::vector<SDraw>& GetDraws() const { return m_draws; }
    void ClearDraws() { m_draws.clear(); }
    int32_t GetPresentCount() const { return m_presents; }
    int32_t GetResetCount() const { return m_resets; }
    bool IsOpen() const { return m_open; }

private:
    int32_t m_width, m_height;
    bool m_open = false;
    std::string m_error;
    std::map<TextureId, STexture> m_textures;
    TextureId m_next = 1;
    TextureId m_target = 0;
    std::vector<SDraw> m_draws;
    int32_t m_presents = 0;
    int32_t m_resets = 0;
    EDeviceState m_state = EDeviceState::kOk;
    bool m_targetsOnly = true;
};

}  // namespace kestrin
