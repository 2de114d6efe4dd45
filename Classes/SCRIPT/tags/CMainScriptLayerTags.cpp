// Layer tags: "lyc" creates an image layer, "lyprop" sets properties, "lyedit" edits
// pixels, "lydel" and "animedel" delete. Each records what it did in the save data's layer
// record (unless replayed) so that a loaded game rebuilds the tree.
#include <map>
#include <string>
#include <vector>

#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CSurfaceManager.h"
#include "GRAPHICS/DisplayObjectProperties.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurface.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

bool CMainScript::FindTagTarget(const std::string& id, bool withRoot, bool withMessage, STagTarget& out) {
    if (!m_screen || !m_screen->GetRootLayer()) return false;
    COruLayer* root = m_screen->GetRootLayer();
    std::shared_ptr<COruLayer> node;
    if (!id.empty() && !root->FindLayer(id, node)) {
        out.object = node.get();
        out.node = node.get();
        out.keep = node;
        return true;
    }
    if (withRoot && id == "!") {
        out.object = root;
        out.node = root;
        return true;
    }
    if (withMessage && id.size() > 1 && id[0] == '~') {
        auto it = m_screen->GetMessageLayers().find(id.substr(1));
        if (it != m_screen->GetMessageLayers().end() && it->second.object) {
            out.object = it->second.object.get();
            out.keep = it->second.object;
            out.messageLayer = it->first;
            return true;
        }
    }
    return false;
}

bool CMainScript::FindTagTargetOf(const CScriptBlock& block, bool withRoot, bool withMessage, STagTarget& out) {
    const std::string& id = block.GetAttribute("id");
    if (FindTagTarget(id, withRoot, withMessage, out)) return true;
    TraceAt(2, block, tagmsg::kLayerMissing, block.GetName().c_str(), id.c_str());
    return false;
}

namespace {

// "Active(1.5MB): a.png, b.png, " and the like for a set of surfaces.
std::string MemoryReport(const CSurfaceManager::SurfaceMap& surfaces, double& megabytes) {
    // In name order, so that traces compare between runs.
    std::map<std::string, const ISurface*> sorted;
    for (const auto& entry : surfaces) sorted.emplace(entry.first, entry.second.get());
    std::string names;
    double bytes = 0;
    for (const auto& entry : sorted) {
        if (entry.second) bytes += entry.second->GetBufferSize();
        names += entry.first + ", ";
    }
    megabytes = bytes / 1024 / 1024;
    return names;
}

}  // namespace

void CMainScript::DeleteLayerAndRecords(const std::string& id, bool replay) {
    // An empty id would name the whole tree.
    if (!m_screen || id.empty()) return;
    // The removed nodes stop their tweens now, not when the shown picture lets go of them,
    // so that a script waiting for one of them goes on.
    if (COruLayer* root = m_screen->GetRootLayer()) {
        COruLayer::LayerMap removed;
        root->CollectLayersNoPrefix(id, removed);
        for (auto& entry : removed) {
            if (entry.second) entry.second->StopTweens();
        }
    }
    std::vector<std::string> ids;
    m_screen->DeleteLayer(id, &ids);
    if (replay) return;
    // Only what was deleted: the id may name no node yet hold a record of its own (the
    // root's "!" or a message layer's "~" properties).
    CSaveData::LayerRecord& record = GetSaveData().GetLayerRecord();
    for (const auto& name : ids) record.erase(name);
}

bool CMainScript::TagLyc(CScriptBlock block, bool replay) {
    if (!m_screen || !m_screen->IsReady()) return false;
    const std::string& id = block.GetAttribute("id");
    const std::string& file = block.GetAttribute("file");
    const std::shared_ptr<CSurfaceManager>& surfaces = m_screen->GetSurfaceManager();
    std::shared_ptr<ISurface> image = surfaces->GetSurface(file);
    if (!image) {
        TraceAt(1, block, tagmsg::kFileMissingOrUnsupported, block.GetName().c_str(), "file", file.c_str());
        return false;
    }
    std::shared_ptr<ISurface> mask;
    std::string maskName;
    if (!block.LacksAttribute("mask", maskName)) {
        mask = surfaces->GetSurface(maskName);
        if (!mask) {
            TraceAt(1, block, tagmsg::kFileMissingOrUnsupported, block.GetName().c_str(), "mask", maskName.c_str());
            surfaces->ReleaseSurface(image.get());
            return false;
        }
    }
    if (id.empty()) {
        surfaces->ReleaseSurface(image.get());
        if (mask) surfaces->ReleaseSurface(mask.get());
        return false;
    }
    std::shared_ptr<ILayer> layer = m_screen->GetLayerFactory()->Create();
    layer->SetSurface(image);
    if (mask) {
        layer->SetMask(mask);
        // The node gives back only its image; the layer keeps the mask alive by itself.
        surfaces->ReleaseSurface(mask.get());
    }
    layer->SetAnchorX(layer->GetWidth() / 2);
    layer->SetAnchorY(layer->GetHeight() / 2);
    TagLydel(block, replay);
    m_screen->GetRootLayer()->AddChild(id, COruLayer::COruLayerWithLayer(surfaces, layer));
    if (!replay) GetSaveData().GetLayerRecord()[id] = std::vector<CScriptBlock>{block};
    return false;
}

bool CMainScript::TagLyprop(CScriptBlock block, bool replay) {
    const std::string& id = block.GetAttribute("id");
    STagTarget target;
    if (!FindTagTargetOf(block, true, true, target)) return false;
    if (target.node) {
        target.node->SetProperties(block.GetAttributes());
        if (block.HasAttribute("clickablethreshold")) target.node->SetHitAlpha(TagInt(block, "clickablethreshold"));
        if (block.HasAttribute("draggable")) target.node->SetDraggable(TagFlag(block, "draggable"));
        if (block.HasAttribute("alpha")) target.node->SetOwnAlpha(TagInt(block, "alpha"));
    } else {
        SetDisplayObjectProperties(target.object, block.GetAttributes());
    }
    if (!replay) GetSaveData().RecordLayerTween(id, block, true);
    return false;
}

bool CMainScript::TagLyedit(CScriptBlock block, bool replay) {
    const std::string& id = block.GetAttribute("id");
    STagTarget target;
    if (!FindTagTargetOf(block, false, false, target)) return false;
    ISurface* surface = target.node->GetSurface();
    if (!surface) {
        TraceAt(2, block, tagmsg::kLayerWithoutSurface, block.GetName().c_str(), id.c_str());
        return false;
    }
    surface->Lock();
    if (!surface->GetLine(0)) {
        TraceAt(2, block, tagmsg::kLayerWithoutPixels, block.GetName().c_str(), id.c_str());
        surface->Unlock();
        return false;
    }
    // Only 32-bit pixels have the colour bytes this edit inverts.
    if (block.GetAttribute("mode") == "negative" && surface->GetBytesPerPixel() == 4) {
        const int32_t width = surface->GetWidth();
        for (int32_t y = 0; y < surface->GetHeight(); ++y) {
            uint8_t* p = surface->GetLine(y);
            if (!p) continue;
            for (int32_t x = 0; x < width; ++x, p += 4) {
                p[0] = static_cast<uint8_t>(255 - p[0]);
                p[1] = static_cast<uint8_t>(255 - p[1]);
                p[2] = static_cast<uint8_t>(255 - p[2]);
            }
        }
    }
    if (!replay) GetSaveData().GetLayerRecord()[id].push_back(block);
    surface->Unlock();
    return false;
}

bool CMainScript::TagLydel(CScriptBlock block, bool replay) {
    DeleteLayerAndRecords(block.GetAttribute("id"), replay);
    if (m_state.debugMode != 0 && m_screen && m_screen->GetSurfaceManager()) {
        double megabytes = 0;
        std::string names = MemoryReport(m_screen->GetSurfaceManager()->GetUsedSurfaces(), megabytes);
        Trace(3, "Active(%fMB): %s", megabytes, names.c_str());
        names = MemoryReport(m_screen->GetSurfaceManager()->GetCachedSurfaces(), megabytes);
        Trace(3, "Cache (%fMB): %s", megabytes, names.c_str());
    }
    return false;
}

}  // namespace kestrin
