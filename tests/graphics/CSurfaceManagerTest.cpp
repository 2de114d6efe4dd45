#include "CORE/CFileFactory.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/CSurfaceManager.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace kestrin;

namespace {

// "Decodes" names of the form "<width>x<height>" into 8-bit surfaces of that size.
class FakeLoaders : public CGraphicLoaders {
public:
    FakeLoaders() : CGraphicLoaders(nullptr) {}
    bool LoadFile(ISurface* surface, const std::string& name) override {
        int w = 0, h = 0;
        if (sscanf(name.c_str(), "%dx%d", &w, &h) != 2) return true;
        ++decodes[name];
        return surface->Init(w, h, 0, 0);
    }
    std::map<std::string, int> decodes;
};

}  // namespace

TEST(CSurfaceManager, SharesSurfacesAndCountsUsers) {
    CSurfaceFactory factory;
    FakeLoaders loaders;
    CSurfaceManager manager(&factory, &loaders, 0);
    auto a = manager.GetSurface("10x10");
    auto b = manager.GetSurface("10x10");
    ASSERT_TRUE(a);
    EXPECT_EQ(a, b);
    EXPECT_EQ(loaders.decodes["10x10"], 1);
    EXPECT_EQ(manager.GetUseCount(a.get()), 2);
    EXPECT_EQ(manager.GetBytesHeld(), 100);
    EXPECT_FALSE(manager.GetSurface("nothing"));
    EXPECT_EQ(manager.GetUsedSurfaces().size(), 1u);

    manager.ReleaseSurface(a.get());
    EXPECT_EQ(manager.GetUsedSurfaces().size(), 1u);
    // Limit 0: the last release drops the surface at once.
    manager.ReleaseSurface(a.get());
    EXPECT_TRUE(manager.GetUsedSurfaces().empty());
    EXPECT_TRUE(manager.GetCachedSurfaces().empty());
    EXPECT_EQ(manager.GetBytesHeld(), 0);
    manager.ReleaseSurface(a.get());  // unknown now: ignored
    CSurfaceFactory f;
    auto stranger = f.Create();
    manager.ReleaseSurface(stranger.get());
    EXPECT_EQ(manager.GetBytesHeld(), 0);
}

TEST(CSurfaceManager, CachesWithinTheLimitAndEvictsOldestFirst) {
    CSurfaceFactory factory;
    FakeLoaders loaders;
    CSurfaceManager manager(&factory, &loaders, 250);
    auto a = manager.GetSurface("10x10");
    auto b = manager.GetSurface("10x5");
    manager.ReleaseSurface(a.get());
    manager.ReleaseSurface(b.get());
    EXPECT_EQ(manager.GetCachedSurfaces().size(), 2u);
    EXPECT_EQ(manager.GetBytesHeld(), 150);

    // Back from the cache without decoding.
    auto again = manager.GetSurface("10x10");
    EXPECT_EQ(again, a);
    EXPECT_EQ(loaders.decodes["10x10"], 1);
    manager.ReleaseSurface(again.get());  // cached again, now newer than 10x5

    // A new load over the limit evicts the oldest cached surface first.
    auto c = manager.GetSurface("20x10");
    EXPECT_EQ(manager.GetBytesHeld(), 350);
    auto d = manager.GetSurface("1x1");  // trims before loading: 10x5 goes, then 10x10
    EXPECT_EQ(manager.GetCachedSurfaces().count("10x5"), 0u);
    EXPECT_EQ(manager.GetCachedSurfaces().count("10x10"), 0u);
    EXPECT_EQ(manager.GetBytesHeld(), 201);
    manager.ReleaseSurface(c.get());
    manager.ReleaseSurface(d.get());
    EXPECT_EQ(manager.GetCachedSurfaces().size(), 2u);
    // The trim runs before a load and only while over the limit: the new surface may take
    // the sum over it. Releasing it then drops it instead of caching it.
    auto big = manager.GetSurface("20x20");
    EXPECT_EQ(manager.GetBytesHeld(), 601);
    manager.ReleaseSurface(big.get());
    EXPECT_EQ(manager.GetCachedSurfaces().count("20x20"), 0u);
    EXPECT_EQ(manager.GetBytesHeld(), 201);
    // Surfaces in use are never evicted: the next trim empties the cache and stops.
    auto in = manager.GetSurface("30x30");
    auto over = manager.GetSurface("2x2");
    EXPECT_TRUE(manager.GetCachedSurfaces().empty());
    EXPECT_EQ(manager.GetBytesHeld(), 904);
    manager.ReleaseSurface(in.get());    // over the limit: dropped
    manager.ReleaseSurface(over.get());  // within it again: cached
    EXPECT_EQ(manager.GetBytesHeld(), 4);
    EXPECT_EQ(manager.GetCachedSurfaces().count("2x2"), 1u);
    manager.RemoveCached("2x2");
    EXPECT_EQ(manager.GetBytesHeld(), 0);

    // A user re-initialising a shared surface does not skew the accounting.
    auto e = manager.GetSurface("5x5");
    e->Init(100, 100, 2, 0);
    manager.ReleaseSurface(e.get());
    manager.RemoveCached("5x5");
    EXPECT_EQ(manager.GetBytesHeld(), 0);

    auto f = manager.GetSurface("3x3");
    manager.ReleaseSurface(f.get());
    manager.ClearCache();
    EXPECT_TRUE(manager.GetCachedSurfaces().empty());
    EXPECT_EQ(manager.GetBytesHeld(), 0);
}
