#pragma once
// Loads images by file name into shared surfaces and keeps released ones in a cache
// bounded by a byte limit, oldest evicted first.
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>

#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"

namespace kestrin {

class CGraphicLoaders;

class CSurfaceManager {
public:
    using SurfaceMap = std::unordered_map<std::string, std::shared_ptr<ISurface>>;

    // Neither the factory nor the loaders are owned. limit: cache size in bytes.
    CSurfaceManager(ISurfaceFactory* surfaceFactory, CGraphicLoaders* loader, int32_t limit);
    virtual ~CSurfaceManager();
    CSurfaceManager(const CSurfaceManager&) = delete;
    CSurfaceManager& operator=(const CSurfaceManager&) = delete;

    // The named image, shared with its other users; empty when it cannot be loaded.
    virtual std::shared_ptr<ISurface> GetSurface(const std::string& name);
    // One user fewer; the last one moves the surface to the cache, or drops it when the
    // manager holds more than the limit. Unknown surfaces are ignored.
    virtual void ReleaseSurface(ISurface* surface);
    virtual void RemoveCached(const std::string& name);
    virtual void ClearCache();
    virtual const SurfaceMap& GetUsedSurfaces() const { return m_used; }
    virtual const SurfaceMap& GetCachedSurfaces() const { return m_cached; }
    // Evicts cached surfaces, oldest first, until the limit holds or nothing is cached.
    virtual void TrimCache();

    // Bytes of every surface held, in use or cached.
    int64_t GetBytesHeld() const { return m_bytesHeld; }
    int32_t GetUseCount(ISurface* surface) const;

private:
    ISurfaceFactory* m_surfaceFactory;
    CGraphicLoaders* m_loader;
    int32_t m_limit;
    // 64 bits: many large images never overflow the sum.
    int64_t m_bytesHeld = 0;
    SurfaceMap m_used{11};
    std::unordered_map<ISurface*, std::string> m_names{11};
    std::unordered_map<ISurface*, int32_t> m_counts{11};
    SurfaceMap m_cached{11};
    // Cached names, oldest first, with each name's place for removal in constant time.
    std::list<std::string> m_order;
    std::unordered_map<std::string, std::list<std::string>::iterator> m_orderPos{11};
    // The size each held surface was accounted with, so that a surface re-initialised by a
    // user afterwards cannot skew the sum.
    std::unordered_map<ISurface*, int64_t> m_accounted{11};

    int64_t Unaccount(ISurface* surface);
    void ForgetOrder(const std::string& name);
};

}  // namespace kestrin
