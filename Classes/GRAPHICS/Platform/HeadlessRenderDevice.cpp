#include "GRAPHICS/Platform/HeadlessRenderDevice.h"

#include <cstring>

namespace kestrin {

bool HeadlessRenderDevice::Open(WindowHandle) {
    Close();
    if (failOpen) {
        m_error = "the fake device refuses to start";
        return true;
    }
    m_open = true;
    m_state = EDeviceState::kOk;
    return false;
}

void HeadlessRenderDevice::Close() {
    m_open = false;
    m_textures.clear();
    m_target = 0;
}

bool HeadlessRenderDevice::GetOutputSize(int32_t& width, int32_t& height) {
    if (!m_open) return true;
    width = m_width;
    height = m_height;
    return false;
}

IRenderDevice::TextureId HeadlessRenderDevice::CreateTexture(int32_t width, int32_t height, bool renderTarget) {
    if (!m_open || failTextures || width <= 0 || height <= 0) {
        m_error = "the fake device has no room for the texture";
        return 0;
    }
    STexture t;
    t.width = width;
    t.height = height;
    t.renderTarget = renderTarget;
    t.pixels.assign(size_t(width) * size_t(height) * 4, 0xCD);  // undefined contents
    m_textures[m_next] = std::move(t);
    return m_next++;
}

void HeadlessRenderDevice::DestroyTexture(TextureId texture) {
    m_textures.erase(texture);
    if (m_target == texture) m_target = 0;
}

const HeadlessRenderDevice::STexture* HeadlessRenderDevice::FindTexture(TextureId id) const {
    auto it = m_textures.find(id);
    return it == m_textures.end() ? nullptr : &it->second;
}

bool HeadlessRenderDevice::UpdateTexture(TextureId texture, const uint8_t* pixels, int32_t pitch) {
    auto it = m_textures.find(texture);
    if (it == m_textures.end() || !pixels) return true;
    STexture& t = it->second;
    for (int32_t y = 0; y < t.height; ++y)
        std::memcpy(&t.pixels[size_t(y) * t.width * 4], pixels + size_t(y) * pitch, size_t(t.width) * 4);
    ++t.uploads;
    return false;
}

bool HeadlessRenderDevice::SetTarget(TextureId target) {
    if (!m_open || (target && !m_textures.count(target))) return true;
    m_target = target;
    return false;
}

bool HeadlessRenderDevice::Clear(uint32_t argb) {
    auto it = m_textures.find(m_target);
    if (it == m_textures.end()) return true;
    for (size_t i = 0; i < it->second.pixels.size(); i += 4) std::memcpy(&it->second.pixels[i], &argb, 4);
    return false;
}

bool HeadlessRenderDevice::DrawQuad(TextureId texture, const SQuadVertex corners[4], uint8_t opacity, EQuadBlend blend,
                                    bool linear) {
    if (!m_textures.count(texture) || !m_textures.count(m_target)) return true;
    SDraw d;
    d.texture = texture;
    d.target = m_target;
    for (int i = 0; i < 4; ++i) d.corners[i] = corners[i];
    d.opacity = opacity;
    d.blend = blend;
    d.linear = linear;
    m_draws.push_back(d);
    return false;
}

bool HeadlessRenderDevice::ReadPixels(uint8_t* pixels, int32_t pitch) {
    auto it = m_textures.find(m_target);
    if (it == m_textures.end() || !pixels) return true;
    const STexture& t = it->second;
    for (int32_t y = 0; y < t.height; ++y)
        std::memcpy(pixels + size_t(y) * pitch, &t.pixels[size_t(y) * t.width * 4], size_t(t.width) * 4);
    return false;
}

bool HeadlessRenderDevice::Present(TextureId backBuffer) {
    if (!m_textures.count(backBuffer)) return true;
    if (failPresent) {
        m_error = "the fake device lost its picture";
        return true;
    }
    ++m_presents;
    return false;
}

bool HeadlessRenderDevice::Reset() {
    ++m_resets;
    if (failReset) {
        m_error = "the fake device cannot reset";
        return true;
    }
    if (!m_targetsOnly) {
        m_textures.clear();
        m_target = 0;
    }
    m_state = EDeviceState::kOk;
    return false;
}

}  // namespace kestrin
