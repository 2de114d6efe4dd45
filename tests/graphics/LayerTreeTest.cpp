// The double-buffered layer tree: generations, copy-on-write edits, commits, pass order, the
// named-node operations of the engine's node class and the tag property vocabulary.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CLayer.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CProgressiveDisplayObjectSet.h"
#include "GRAPHICS/CProgressiveLayerSet.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/CSurfaceManager.h"
#include "GRAPHICS/DisplayObjectProperties.h"
#include "GRAPHICS/IGraphicLoader.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/TTween.h"
#include "GRAPHICS/TweenRegistry.h"

using namespace kestrin;

namespace {

// Records the order in which the passes reach it.
class Probe : public CDisplayObject {
public:
    Probe(std::string name, std::vector<std::string>* log) : m_name(std::move(name)), m_log(log) {}
    void OnUpdate(const CMatrix2D&, float, int32_t) override { m_log->push_back("u:" + m_name); }
    void OnDraw(const CMatrix2D&, float alpha, int32_t) override {
        m_log->push_back("d:" + m_name);
        lastAlpha = alpha;
    }
    IDisplayObject* Clone(bool copyState) const override {
        auto* p = new Probe(m_name + "'", m_log);
        if (copyState) p->CopyFrom(*this);
        return p;
    }
    float lastAlpha = 0;

private:
    std::string m_name;
    std::vector<std::string>* m_log;
};

using Node = std::shared_ptr<CProgressiveDisplayObjectSet>;

Node Leaf(const std::string& name, std::vector<std::string>* log) {
    return std::make_shared<CProgressiveDisplayObjectSet>(std::make_shared<Probe>(name, log));
}

std::vector<std::string> Names(const CProgressiveDisplayObjectSet::ChildMap& map) {
    std::vector<std::string> out;
    for (const auto& e : map) out.push_back(e.first);
    return out;
}

}  // namespace

TEST(ProgressiveSet, EditsShowOnlyAfterCommit) {
    std::vector<std::string> log;
    Node leaf = Leaf("a", &log);
    IDisplayObject* edit = leaf->BeginEdit();
    EXPECT_EQ(leaf->BeginEdit(), edit);  // one clone per generation
    EXPECT_NE(leaf->GetCurrentObject(), edit);
    EXPECT_TRUE(leaf->IsEdited());
    edit->SetX(40);
    EXPECT_EQ(leaf->GetX(), 0);
    // A direct setter reaches both generations.
    leaf->SetY(7);
    EXPECT_EQ(leaf->GetY(), 7);
    EXPECT_EQ(edit->GetY(), 7);
    leaf->Commit();
    EXPECT_FALSE(leaf->IsEdited());
    EXPECT_EQ(leaf->GetCurrentObject(), edit);
    EXPECT_EQ(leaf->GetX(), 40);
    EXPECT_EQ(leaf->GetY(), 7);
    // After a commit, the next edit clones again.
    EXPECT_NE(leaf->BeginEdit(), edit);
}

TEST(ProgressiveSet, ChildGenerationsByTable) {
    std::vector<std::string> log;
    // Each step: operation, then the current and the next top-level names expected after it.
    struct Step {
        const char* op;  // "add", "del", "commit"
        const char* path;
        std::vector<std::string> current, next;
    };
    CProgressiveDisplayObjectSet root;
    const std::vector<Step> steps = {
        {"add", "a.b.c", {}, {"a"}},
        {"add", "bg", {}, {"a", "bg"}},
        {"commit", "", {"a", "bg"}, {"a", "bg"}},
        {"add", "bg.x", {"a", "bg"}, {"a", "bg"}},  // through a leaf: nothing
        {"del", "zz.y", {"a", "bg"}, {"a", "bg"}},  // removing under a missing group makes none
        {"del", "bg", {"a", "bg"}, {"a"}},
        {"add", "Z", {"a", "bg"}, {"Z", "a"}},  // bytes: 'Z' sorts before 'a'
        {"commit", "", {"Z", "a"}, {"Z", "a"}},
    };
    for (const Step& s : steps) {
        const std::string op = s.op;
        if (op == "add")
            root.AddChild(s.path, Leaf(s.path, &log));
        else if (op == "del")
            root.AddChild(s.path, nullptr);
        else
            root.Commit();
        EXPECT_EQ(Names(root.GetChildren()), s.current) << op << " " << s.path;
        EXPECT_EQ(Names(root.GetNextChildren()), s.next) << op << " " << s.path;
    }
    // The groups made on the way have the parent's class and kind 0.
    CProgressiveDisplayObjectSet* a = root.GetChild("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetKind(), CProgressiveDisplayObjectSet::kGroup);
    EXPECT_NE(root.GetChild("a.b.c"), nullptr);
    EXPECT_EQ(root.GetChild("a.b.c")->GetKind(), CProgressiveDisplayObjectSet::kObject);
    EXPECT_EQ(root.GetChild("a.b.c.d"), nullptr);  // below a leaf
    EXPECT_EQ(root.GetChild("a.q"), nullptr);
    std::shared_ptr<CProgressiveDisplayObjectSet> found;
    EXPECT_TRUE(root.FindChild("nothing", found));
    EXPECT_EQ(found, nullptr);
}

TEST(ProgressiveSet, ShiftJisNamesAreNotSplitAtTrailBytes) {
    std::vector<std::string> log;
    CProgressiveDisplayObjectSet root;
    // 0x81 0x2E: a lead byte followed by '.' as its trail byte is one character, not a dot.
    const std::string name = std::string("\x81\x2E") + "x";
    root.AddChild(name, Leaf("sj", &log));
    EXPECT_EQ(Names(root.GetNextChildren()), std::vector<std::string>{name});
}

TEST(ProgressiveSet, AbsurdlyDeepPathsAreRefused) {
    std::vector<std::string> log;
    CProgressiveDisplayObjectSet root;
    std::string deepest = "a";
    for (int i = 1; i < CProgressiveDisplayObjectSet::kMaxPathNames; ++i) deepest += ".a";
    std::string absurd = deepest;
    for (int i = 0; i < 100000; ++i) absurd += ".b";
    root.AddChild(absurd, Leaf("x", &log));
    EXPECT_TRUE(root.GetNextChildren().empty());
    root.AddChild(deepest, Leaf("x", &log));
    EXPECT_NE(root.GetChild(deepest), nullptr);
    root.AddChild(absurd, nullptr);  // a removal only walks: nothing there, nothing changes
    EXPECT_NE(root.GetChild(deepest), nullptr);
    root.Commit();
}

TEST(ProgressiveSet, PassOrderAndFramePasses) {
    std::vector<std::string> log;
    CProgressiveDisplayObjectSet root;
    for (const char* n : {"msg", "bg", "chara"}) root.AddChild(n, Leaf(n, &log));
    CMatrix2D m;
    // Nothing committed yet: the ordinary passes show an empty tree, the frame passes the next one.
    root.Draw(m, 255.0f);
    EXPECT_TRUE(log.empty());
    root.DrawFrame(m, 255.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"d:bg", "d:chara", "d:msg"}));
    log.clear();
    root.Commit();
    root.Update(m, 255.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"u:msg", "u:chara", "u:bg"}));
    log.clear();
    // A pending edit of a child shows in the frame pass only.
    root.GetChild("bg")->BeginEdit();
    root.Draw(m, 255.0f);
    root.DrawFrame(m, 255.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"d:bg", "d:chara", "d:msg", "d:bg'", "d:chara", "d:msg"}));
}

TEST(ProgressiveSet, GroupAlphaMultipliesIntoChildren) {
    std::vector<std::string> log;
    CProgressiveDisplayObjectSet root;
    auto probe = std::make_shared<Probe>("p", &log);
    probe->SetAlpha(128);
    root.AddChild("g.p", std::make_shared<CProgressiveDisplayObjectSet>(probe));
    root.Commit();
    root.GetChild("g")->SetAlpha(128);
    root.Draw(CMatrix2D(), 255.0f);
    EXPECT_NEAR(probe->lastAlpha, 128.0f * 128.0f / 255.0f, 1e-3);
    // A hidden group hides its subtree.
    log.clear();
    root.GetChild("g")->SetVisible(false);
    root.Draw(CMatrix2D(), 255.0f);
    EXPECT_TRUE(log.empty());
}

TEST(ProgressiveSet, RemovedChildDrawsUntilCommitAndIsReleasedThen) {
    std::vector<std::string> log;
    CProgressiveDisplayObjectSet root;
    std::weak_ptr<CProgressiveDisplayObjectSet> weak;
    {
        Node x = Leaf("x", &log);
        weak = x;
        root.AddChild("x", x);
    }
    root.Commit();
    root.AddChild("x", nullptr);
    root.Draw(CMatrix2D(), 255.0f);
    EXPECT_EQ(log, std::vector<std::string>{"d:x"});
    EXPECT_FALSE(weak.expired());
    root.Commit();
    EXPECT_TRUE(weak.expired());
}

namespace {

// A probe whose update runs an action once, as a layer's event handler runs script code.
class Actor : public Probe {
public:
    using Probe::Probe;
    void OnUpdate(const CMatrix2D& m, float alpha, int32_t flags) override {
        Probe::OnUpdate(m, alpha, flags);
        if (action) {
            auto run = std::move(action);
            action = nullptr;
            run();
        }
    }
    std::function<void()> action;
};

}  // namespace

// The update walk does not copy the child maps; handlers that remove, add or commit layers
// meanwhile must neither crash the walk nor show it a half-edited map.
TEST(ProgressiveSet, HandlersMayEditTheTreeDuringTheUpdateWalk) {
    struct Case {
        const char* what;
        bool frame;  // the frame pass (next generation) instead of the ordinary one
        std::function<void(CProgressiveDisplayObjectSet&)> edit;  // run by "d" inside group "g"
        std::vector<std::string> visited;
        std::vector<std::string> rootAfter;  // the root's children after a commit
    } cases[] = {
        {"removes every layer and commits",
         false,
         [](CProgressiveDisplayObjectSet& root) {
             for (const char* n : {"a", "b", "g", "z"}) root.AddChild(n, nullptr);
             root.Commit();
         },
         {"u:z", "u:d", "u:c", "u:b", "u:a"},
         {}},
        {"removes its own group and commits",
         false,
         [](CProgressiveDisplayObjectSet& root) {
             root.AddChild("g", nullptr);
             root.Commit();
         },
         {"u:z", "u:d", "u:c", "u:b", "u:a"},
         {"a", "b", "z"}},
        {"adds layers and commits",
         false,
         [](CProgressiveDisplayObjectSet& root) {
             root.AddChild("g.ca", std::make_shared<CProgressiveDisplayObjectSet>(std::make_shared<CDisplayObject>()));
             root.AddChild("c", std::make_shared<CProgressiveDisplayObjectSet>(std::make_shared<CDisplayObject>()));
             root.Commit();
         },
         {"u:z", "u:d", "u:c", "u:b", "u:a"},
         {"a", "b", "c", "g", "z"}},
        // "g" holds an uncommitted "e": the frame pass walks its edited map, which the handler
        // changes again.
        {"removes siblings from an edited generation",
         true,
         [](CProgressiveDisplayObjectSet& root) {
             root.AddChild("g.c", nullptr);
             root.AddChild("g.e", nullptr);
             root.AddChild("b", nullptr);
         },
         {"u:z", "u:e", "u:d", "u:c", "u:b", "u:a"},
         {"a", "g", "z"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> log;
        auto root = std::make_shared<CProgressiveDisplayObjectSet>();
        std::map<std::string, std::weak_ptr<CProgressiveDisplayObjectSet>> nodes;
        auto actor = std::make_shared<Actor>("d", &log);
        for (const char* n : {"a", "b", "g.c", "z"}) {
            Node leaf = Leaf(std::string(n).substr(std::string(n).find('.') + 1), &log);
            nodes[n] = leaf;
            root->AddChild(n, leaf);
        }
        root->AddChild("g.d", std::make_shared<CProgressiveDisplayObjectSet>(actor));
        root->Commit();
        if (c.frame) root->AddChild("g.e", Leaf("e", &log));
        CProgressiveDisplayObjectSet* raw = root.get();
        actor->action = [&c, raw] { c.edit(*raw); };
        if (c.frame)
            root->UpdateFrame(CMatrix2D(), 255.0f);
        else
            root->Update(CMatrix2D(), 255.0f);
        EXPECT_EQ(log, c.visited);
        root->Commit();
        EXPECT_EQ(Names(root->GetChildren()), c.rootAfter);
        // What was removed is released once the walk is over.
        for (const auto& node : nodes) {
            const bool kept = root->GetChild(node.first) != nullptr;
            EXPECT_EQ(node.second.expired(), !kept) << node.first;
        }
    }
}

namespace {

class PlainFactory : public ISurfaceFactory {
public:
    std::shared_ptr<ISurface> Create() override { return std::make_shared<CSurface>(); }
};

std::shared_ptr<ILayer> MakeLayer() { return std::make_shared<CLayer>(nullptr); }

}  // namespace

TEST(OruLayer, CollectsDeletesAndFindsByDottedName) {
    auto root = std::make_shared<COruLayer>(nullptr);
    root->AddChild("a", COruLayer::COruLayerWithLayer(nullptr, MakeLayer()));
    root->AddChild("g.b", COruLayer::COruLayerWithLayer(nullptr, MakeLayer()));
    root->AddChild("g.c.d", COruLayer::COruLayerWithLayer(nullptr, MakeLayer()));
    root->AddChild("z", COruLayer::COruLayerWithLayer(nullptr, MakeLayer()));
    struct Case {
        std::string path;
        std::vector<std::string> keys;
    } cases[] = {
        {"", {"a", "g", "g.b", "g.c", "g.c.d", "z"}},
        {"g", {"g", "g.b", "g.c", "g.c.d"}},
        {"g.c", {"g.c", "g.c.d"}},
        {"a", {"a"}},
        {"a.x", {}},
        {"missing", {}},
    };
    for (const Case& c : cases) {
        COruLayer::LayerMap map;
        root->CollectLayersNoPrefix(c.path, map);
        std::vector<std::string> keys;
        for (const auto& e : map) keys.push_back(e.first);
        EXPECT_EQ(keys, c.keys) << "path " << c.path;
    }
    std::shared_ptr<COruLayer> found;
    EXPECT_FALSE(root->FindLayer("g.c.d", found));
    EXPECT_EQ(found->GetKind(), CProgressiveDisplayObjectSet::kLayer);
    EXPECT_TRUE(root->FindLayer("a.b", found));
    // Groups made by a path are engine nodes too.
    EXPECT_NE(dynamic_cast<COruLayer*>(root->GetChild("g.c")), nullptr);
}

TEST(OruLayer, PropertiesGoToTheEditedGenerationUnlessImmediate) {
    auto layered = COruLayer::COruLayerWithLayer(nullptr, MakeLayer());
    layered->SetProperties({{"left", "30"}});
    EXPECT_EQ(layered->GetX(), 0);
    layered->Commit();
    EXPECT_EQ(layered->GetX(), 30);

    auto immediate = COruLayer::COruLayerImmediate(nullptr, std::make_shared<CDisplayObject>());
    immediate->SetProperties({{"left", "30"}});
    EXPECT_EQ(immediate->GetX(), 30);
    EXPECT_FALSE(immediate->IsEdited());

    // The layer side reaches both generations of a layer node; a group spreads the drag flag.
    auto root = std::make_shared<COruLayer>(nullptr);
    root->AddChild("p.q", layered);
    layered->BeginEdit();
    root->SetDraggable(true);
    EXPECT_TRUE(layered->IsDraggable());
    EXPECT_TRUE(layered->GetNextLayer()->IsDraggable());
}

TEST(DisplayObjectProperties, VocabularyByTable) {
    struct Case {
        std::map<std::string, std::string> attributes;
        int32_t x, y, alpha, ax, ay, rotate, xs, ys;
        bool rx, ry, visible;
        int32_t cx, cy, cw, ch, mode;
    };
    // Defaults: 0, 0, 255, 0, 0, 0, 65536, 65536, false, false, true, clip 0, mode 0.
    // clang-format off
    const Case cases[] = {
        {{{"left", " -12px"}, {"top", "abc"}, {"alpha", "300"}}, -12, 0, 300, 0, 0, 0, 65536, 65536, false, false, true, 0, 0, 0, 0, 0},
        {{{"anchorx", "5"}, {"anchory", "+6"}, {"rotate", "370"}}, 0, 0, 255, 5, 6, 10, 65536, 65536, false, false, true, 0, 0, 0, 0, 0},
        {{{"xscale", "150"}, {"yscale", "33"}}, 0, 0, 255, 0, 0, 0, 98304, 21626, false, false, true, 0, 0, 0, 0, 0},
        {{{"xscale", "-100"}, {"yscale", "50"}}, 0, 0, 255, 0, 0, 0, -65536, 32768, false, false, true, 0, 0, 0, 0, 0},
        {{{"reversex", "false"}, {"reversey", "0"}, {"visible", "0"}}, 0, 0, 255, 0, 0, 0, 65536, 65536, true, false, false, 0, 0, 0, 0, 0},
        {{{"visible", "false"}}, 0, 0, 255, 0, 0, 0, 65536, 65536, false, false, true, 0, 0, 0, 0, 0},
        {{{"clip", "10,20,30,40"}}, 0, 0, 255, 0, 0, 0, 65536, 65536, false, false, true, 10, 20, 30, 40, 0},
        {{{"clip", "10,20,30"}}, 0, 0, 255, 0, 0, 0, 65536, 65536, false, false, true, 0, 0, 0, 0, 0},
        {{{"clip", "1,2,3,4,5"}}, 0, 0, 255, 0, 0, 0, 65536, 65536, false, false, true, 0, 0, 0, 0, 0},
        {{{"layermode", "add"}}, 0, 0, 255, 0, 0, 0, 65536, 65536, false, false, true, 0, 0, 0, 0, 1},
        {{{"layermode", "multiply"}}, 0, 0, 255, 0, 0, 0, 65536, 65536, false, false, true, 0, 0, 0, 0, 2},
        {{{"layermode", "screen"}}, 0, 0, 255, 0, 0, 0, 65536, 65536, false, false, true, 0, 0, 0, 0, 4},
        {{{"layermode", "Add"}}, 0, 0, 255, 0, 0, 0, 65536, 65536, false, false, true, 0, 0, 0, 0, 0},
        {{{"left", "99999999999"}, {"unknown", "1"}}, INT32_MAX, 0, 255, 0, 0, 0, 65536, 65536, false, false, true, 0, 0, 0, 0, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        CDisplayObject o;
        SetDisplayObjectProperties(&o, c.attributes);
        const std::string what = c.attributes.begin()->first + "=" + c.attributes.begin()->second;
        EXPECT_EQ(o.GetX(), c.x) << what;
        EXPECT_EQ(o.GetY(), c.y) << what;
        EXPECT_EQ(o.GetAlpha(), c.alpha) << what;
        EXPECT_EQ(o.GetAnchorX(), c.ax) << what;
        EXPECT_EQ(o.GetAnchorY(), c.ay) << what;
        EXPECT_EQ(o.GetRotate(), c.rotate) << what;
        EXPECT_EQ(o.GetXScale(), c.xs) << what;
        EXPECT_EQ(o.GetYScale(), c.ys) << what;
        EXPECT_EQ(o.IsReverseX(), c.rx) << what;
        EXPECT_EQ(o.IsReverseY(), c.ry) << what;
        EXPECT_EQ(o.IsVisible(), c.visible) << what;
        EXPECT_EQ(o.GetClip().GetX(), c.cx) << what;
        EXPECT_EQ(o.GetClip().GetY(), c.cy) << what;
        EXPECT_EQ(o.GetClip().GetWidth(), c.cw) << what;
        EXPECT_EQ(o.GetClip().GetHeight(), c.ch) << what;
        if (c.cw) EXPECT_EQ(o.GetClip().GetRight(), c.cx + c.cw - 1) << what;
        EXPECT_EQ(o.GetLayerMode(), c.mode) << what;
    }
    SetDisplayObjectProperties(nullptr, {{"left", "1"}});  // ignored
}

namespace {

class NullTween : public ITween {
public:
    explicit NullTween(int* stops) : m_stops(stops) {}
    bool Update(uint32_t) override { return m_stopped; }
    void Stop() override {
        ++*m_stops;
        m_stopped = true;
    }
    void Finish() override {}

private:
    int* m_stops;
    bool m_stopped = false;
};

}  // namespace

TEST(OruLayer, TweensStopWithTheNodeAndMakeItTweening) {
    int stops = 0;
    auto root = std::make_shared<COruLayer>(nullptr);
    auto leaf = COruLayer::COruLayerWithLayer(nullptr, MakeLayer());
    root->AddChild("g.leaf", leaf);
    const int32_t id = RegisterTween(new NullTween(&stops));
    leaf->AddTween(id);
    EXPECT_TRUE(root->IsTweening());
    root->GetChild("g")->SetVisible(false);  // an invisible group is not tweening
    EXPECT_FALSE(root->IsTweening());
    root->GetChild("g")->SetVisible(true);
    leaf.reset();
    root->AddChild("g", nullptr);
    root->Commit();  // the last owner lets the subtree go
    EXPECT_EQ(stops, 1);
    UpdateTweens(0);
    EXPECT_FALSE(IsTweenRegistered(id));
    EXPECT_FALSE(root->IsTweening());
    ClearTweenRegistry();
}

namespace {

class FakeLoaders : public CGraphicLoaders {
public:
    FakeLoaders() : CGraphicLoaders(nullptr) {}
    bool LoadFile(ISurface* surface, const std::string&) override { return surface->Init(4, 4, 2, 0); }
};

}  // namespace

TEST(OruLayer, ImageGoesBackToTheCacheOnceAcrossEdits) {
    PlainFactory factory;
    FakeLoaders loaders;
    auto manager = std::make_shared<CSurfaceManager>(&factory, &loaders, 1 << 20);
    auto other = manager->GetSurface("img");  // another user keeps it in use
    auto surface = manager->GetSurface("img");
    ASSERT_EQ(manager->GetUseCount(surface.get()), 2);
    {
        auto layer = MakeLayer();
        layer->SetSurface(surface);
        auto node = std::make_shared<COruLayer>(manager, layer);
        node->BeginEdit()->SetX(5);  // the pending clone shares the image
    }
    // One use given back, not one per generation.
    EXPECT_EQ(manager->GetUseCount(surface.get()), 1);
    manager->ReleaseSurface(surface.get());
    EXPECT_EQ(manager->GetUsedSurfaces().count("img"), 0u);
    EXPECT_EQ(manager->GetCachedSurfaces().count("img"), 1u);
}
