#include "GRAPHICS/CSurfaceManager.h"

#include <algorithm>

#include "GRAPHICS/CGraphicLoaders.h"

namespace kestrin {

CSurfaceManager::CSurfaceManager(ISurfaceFactory* surfaceFactory, CGraphicLoaders* loader, int32_t limit)
    : m_surfaceFactory(surfaceFactory), m_loader(loader), m_limit(limit) {}

CSurfaceManager::~CSurfaceManager() = default;

std::shared_ptr<ISurface> CSurfaceManager::GetSurface(const std::string& name) {
    auto used = m_used.find(name);
    if (used != m_used.end()) {
        ++m_counts[used->second.get()];
        return used->second;
    }
    auto cached = m_cached.find(name);
    if (cached != m_cached.end()) {
        std::shared_ptr<ISurface> surface = cached->second;
        m_cached.erase(cached);
        ForgetOrder(name);
        m_used[name] = surface;
        m_names[surface.get()] = name;
        m_counts[surface.get()] = 1;
        return surface;
    }
    TrimCache();
    if (!m_surfaceFactory || !m_loader) return nullptr;
    std::shared_ptr<ISurface> surface = m_surfaceFactory->Create();
    if (!surface || m_loader->LoadFile(surface.get(), name)) return nullptr;
    m_used[name] = surface;
    m_names[surface.get()] = name;
    m_counts[surface.get()] = 1;
    const int64_t bytes = surface->GetBufferSize();
    m_accounted[surface.get()] = bytes;
    m_bytesHeld += bytes;
    return surface;
}

void CSurfaceManager::ReleaseSurface(ISurface* surface) {
    auto named = m_names.find(surface);
    if (named == m_names.end()) return;
    int32_t& count = m_counts[surface];
    if (--count > 0) return;
    const std::string name = named->second;
    auto used = m_used.find(name);
    std::shared_ptr<ISurface> held = used != m_used.end() ? used->second : nullptr;
    if (m_limit < m_bytesHeld || !held) {
        m_bytesHeld -= Unaccount(surface);
    } else {
        m_cached[name] = held;
        ForgetOrder(name);
        m_orderPos[name] = m_order.insert(m_order.end(), name);
    }
    if (used != m_used.end()) m_used.erase(used);
    m_names.erase(named);
    m_counts.erase(surface);
}

void CSurfaceManager::RemoveCached(const std::string& name) {
    auto cached = m_cached.find(name);
    if (cached == m_cached.end()) return;
    m_bytesHeld -= Unaccount(cached->second.get());
    m_cached.erase(cached);
    ForgetOrder(name);
}

void CSurfaceManager::ClearCache() {
    for (const auto& entry : m_cached) m_bytesHeld -= Unaccount(entry.second.get());
    m_cached.clear();
    m_order.clear();
    m_orderPos.clear();
}

void CSurfaceManager::TrimCache() {
    while (m_limit < m_bytesHeld && !m_cached.empty() && !m_order.empty()) {
        const std::string name = m_order.front();
        m_order.pop_front();
        m_orderPos.erase(name);
        auto cached = m_cached.find(name);
        if (cached != m_cached.end()) {
            m_bytesHeld -= Unaccount(cached->second.get());
            m_cached.erase(cached);
        }
    }
}

void CSurfaceManager::ForgetOrder(const std::string& name) {
    auto it = m_orderPos.find(name);
    if (it != m_orderPos.end()) {
        m_order.erase(it->second);
        m_orderPos.erase(it);
    }
}

int64_t CSurfaceManager::Unaccount(ISurface* surface) {
    auto it = m_accounted.find(surface);
    if (it == m_accounted.end()) return 0;
    const int64_t bytes = it->second;
    m_accounted.erase(it);
    return bytes;
}

int32_t CSurfaceManager::GetUseCount(ISurface* surface) const {
    auto it = m_counts.find(surface);
    return it == m_counts.end() ? 0 : it->second;
}

}  // namespace kestrin
