#include "GRAPHICS/TweenRegistry.h"

#include <memory>
#include <unordered_map>
#include <vector>

#include "CORE/CFrameDemand.h"

namespace kestrin {

namespace {

struct Registry {
    std::unordered_map<int32_t, ITween*> tweens{11};
    int32_t nextId = 0;
    // Depth of calls into tweens; deletions wait until it is back to 0.
    int busy = 0;
    std::vector<ITween*> graveyard;
    std::vector<int32_t> passIds;

    ~Registry() {
        for (auto& e : tweens) delete e.second;
        for (ITween* t : graveyard) delete t;
    }
};

Registry& Get() {
    static Registry registry;
    return registry;
}

// Marks a call into tween code; on leaving the outermost one, deferred deletions run.
class BusyScope {
public:
    BusyScope() { ++Get().busy; }
    ~BusyScope() {
        Registry& r = Get();
        if (--r.busy == 0) {
            std::vector<ITween*> dead;
            dead.swap(r.graveyard);
            for (ITween* t : dead) delete t;
        }
    }
};

ITween* Lookup(int32_t id) {
    Registry& r = Get();
    auto it = r.tweens.find(id);
    return it == r.tweens.end() ? nullptr : it->second;
}

}  // namespace

int32_t RegisterTween(ITween* tween) {
    Registry& r = Get();
    const int32_t id = r.nextId;
    r.nextId = static_cast<int32_t>(static_cast<uint32_t>(r.nextId) + 1u);
    auto it = r.tweens.find(id);
    if (it != r.tweens.end() && it->second != tween) {
        // Only after the counter wrapped: never leak the tween that held the id.
        if (r.busy > 0)
            r.graveyard.push_back(it->second);
        else
            delete it->second;
    }
    r.tweens[id] = tween;
    CFrameDemand::Now();
    return id;
}

bool IsTweenRegistered(int32_t id) { return Lookup(id) != nullptr; }

TTween<int32_t>* FindIntTween(int32_t id) { return dynamic_cast<TTween<int32_t>*>(Lookup(id)); }

void StopTween(int32_t id) {
    if (ITween* t = Lookup(id)) {
        BusyScope busy;
        t->Stop();
    }
}

void FinishTween(int32_t id) {
    if (ITween* t = Lookup(id)) {
        BusyScope busy;
        t->Finish();
    }
}

void UpdateTweens(uint32_t now) {
    Registry& r = Get();
    BusyScope busy;
    // Walk a snapshot of the ids: tweens registered during the pass wait for the next one,
    // and the map may change freely while tween code runs.
    std::vector<int32_t> ids;
    ids.swap(r.passIds);
    ids.clear();
    ids.reserve(r.tweens.size());
    for (const auto& e : r.tweens)
        if (e.second) ids.push_back(e.first);
    std::vector<int32_t> finished;
    for (int32_t id : ids) {
        ITween* t = Lookup(id);
        if (!t) continue;
        if (t->Update(now)) {
            // Look again: the tween's own code may have cleared the registry.
            auto it = r.tweens.find(id);
            if (it != r.tweens.end() && it->second == t) {
                it->second = nullptr;
                r.graveyard.push_back(t);
                finished.push_back(id);
            }
        }
    }
    for (int32_t id : finished) {
        auto it = r.tweens.find(id);
        if (it != r.tweens.end() && it->second == nullptr) r.tweens.erase(it);
    }
    ids.clear();
    r.passIds.swap(ids);
    if (!r.tweens.empty()) CFrameDemand::Now();
}

void ClearTweenRegistry() {
    Registry& r = Get();
    std::vector<ITween*> all;
    for (auto& e : r.tweens)
        if (e.second) all.push_back(e.second);
    r.tweens.clear();
    if (r.busy > 0) {
        r.graveyard.insert(r.graveyard.end(), all.begin(), all.end());
        return;
    }
    for (ITween* t : all) delete t;
}

}  // namespace kestrin
