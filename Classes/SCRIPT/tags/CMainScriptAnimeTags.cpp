// The "anime" tag builds a flip-book one frame per tag: "init" makes the animation node with
// its first frame, "add" puts a frame at a time offset, "end" closes the loop there. Each frame
// is an image layer made like a "lyc" layer that takes the display properties of its tag. The
// node is an ordinary leaf of the layer tree, so "lyprop", "lytween" and "lydel" work on it.
#include <memory>
#include <string>
#include <vector>

#include "GRAPHICS/CAnimationLayer.h"
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

namespace kestrin {

namespace {

// The frame of an "init" or "add" tag, or null after a trace line.
std::shared_ptr<ILayer> MakeFrame(CMainScript& script, CMainScreen& screen, const CScriptBlock& block) {
    const std::shared_ptr<CSurfaceManager>& surfaces = screen.GetSurfaceManager();
    const std::string& file = block.GetAttribute("file");
    std::shared_ptr<ISurface> image = surfaces->GetSurface(file);
    if (!image) {
        script.Trace(1, "%s(%d): [%s file=\"%s\"] 指定されたファイルは見つからないか、非対応形式です。",
                     script.GetCaret().file.c_str(), block.GetLine(), block.GetName().c_str(), file.c_str());
        return nullptr;
    }
    std::shared_ptr<ISurface> mask;
    if (block.HasAttribute("mask")) {
        const std::string& maskName = block.GetAttribute("mask");
        mask = surfaces->GetSurface(maskName);
        if (!mask) {
            script.Trace(1, "%s(%d): [%s mask=\"%s\"] 指定されたファイルは見つからないか、非対応形式です。",
                         script.GetCaret().file.c_str(), block.GetLine(), block.GetName().c_str(), maskName.c_str());
            surfaces->ReleaseSurface(image.get());
            return nullptr;
        }
    }
    std::shared_ptr<ILayer> frame = screen.GetLayerFactory()->Create();
    frame->SetSurface(image);
    if (mask) frame->SetMask(mask);
    // No tree node holds a frame, so none would give its images back: the frame keeps them
    // alive by itself and the cache may hand them to the next user.
    surfaces->ReleaseSurface(image.get());
    if (mask) surfaces->ReleaseSurface(mask.get());
    frame->SetAnchorX(frame->GetWidth() / 2);
    frame->SetAnchorY(frame->GetHeight() / 2);
    SetDisplayObjectProperties(frame.get(), block.GetAttributes());
    return frame;
}

}  // namespace

bool CMainScript::TagAnime(CScriptBlock block, bool replay) {
    if (!m_screen || !m_screen->IsReady() || !m_screen->GetRootLayer()) return false;
    const std::string& id = block.GetAttribute("id");
    const std::string& mode = block.GetAttribute("mode");
    std::shared_ptr<ILayer> frame;
    if (mode != "end") {
        frame = MakeFrame(*this, *m_screen, block);
        if (!frame) return false;
    }

    if (mode == "init") {
        auto animation = std::make_shared<CAnimationLayer>();
        animation->SetFrame(frame);
        // Whatever was at the path (and below it) goes, with its record.
        TagLydel(block, replay);
        if (id.empty()) return false;
        m_screen->GetRootLayer()->AddChild(
            id, std::make_shared<COruLayer>(m_screen->GetSurfaceManager(), std::shared_ptr<IDisplayObject>(animation)));
        if (!replay) GetSaveData().GetLayerRecord()[id] = std::vector<CScriptBlock>{block};
        return false;
    }

    // Only an animation node is edited: any other node keeps its generations as they are.
    CAnimationLayer* animation = nullptr;
    std::shared_ptr<COruLayer> node;
    if (!id.empty() && !m_screen->GetRootLayer()->FindLayer(id, node) &&
        dynamic_cast<CAnimationLayer*>(node->GetNextObject())) {
        animation = dynamic_cast<CAnimationLayer*>(node->BeginEdit());
    }
    if (!animation) {
        Trace(1, "%s(%d): [%s id=\"%s\"] 指定されたアニメーションが見つかりません。", m_state.caret.file.c_str(),
              block.GetLine(), block.GetName().c_str(), id.c_str());
        return false;
    }
    if (mode == "add") {
        animation->AddFrame(frame, TagInt(block, "time"));
    } else if (mode == "end") {
        // A loop of no length would restart for ever and show nothing: the end is ignored.
        const int32_t time = TagInt(block, "time");
        if (time <= 0) {
            Trace(1, "%s(%d): [%s time=\"%s\"] アニメーションの終端は0より後の時刻を指定してください。",
                  m_state.caret.file.c_str(), block.GetLine(), block.GetName().c_str(),
                  block.GetAttribute("time").c_str());
            return false;
        }
        animation->AddFrame(nullptr, time);
    }
    if (!replay) GetSaveData().GetLayerRecord()[id].push_back(block);
    return false;
}

}  // namespace kestrin
