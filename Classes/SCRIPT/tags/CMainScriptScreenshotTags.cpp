// Screenshot tags: "takess" captures the screen and "savess" writes the capture as PNG into
// the save folder. ("flip" and "trans" are in the tween family, tags/CTweenTags.cpp.)
#include <memory>

#include "CORE/CFileName.h"
#include "CORE/CGameFileNames.h"
#include "CORE/StringHelpers.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/CSurfaceManager.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

namespace {

// A name that stays inside the save folder: relative, without drive or "..".
bool IsSaveFolderName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
    if (name.size() >= 2 && name[1] == ':') return false;
    for (const auto& part : CGameFileNames::Split(CGameFileNames::ToNative(name), '/')) {
        if (part == "..") return false;
    }
    return true;
}

}  // namespace

bool CMainScript::TagTakess(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    if (m_screen && m_screen->IsReady()) m_screen->TakeScreenshot();
    return false;
}

bool CMainScript::TagSavess(CScriptBlock block, bool replay) {
    (void)replay;
    if (!m_screen || !m_screen->IsReady()) return false;
    const std::string& file = block.GetAttribute("file");
    const int32_t width = TagInt(block, "width", m_screen->GetWidth());
    const int32_t height = TagInt(block, "height", m_screen->GetHeight());
    if (width < 1 || height < 1 || int64_t(width) * height > CMainScreen::kMaxScreenshotPixels) {
        TraceAt(1, block, tagmsg::kScreenshotSizeInvalid, block.GetName().c_str(), width, height);
        return false;
    }
    if (!IsSaveFolderName(file)) {
        TraceAt(1, block, tagmsg::kOutsideSaveFolder, block.GetName().c_str(), file.c_str());
        return false;
    }
    if (m_screen->SaveScreenshot(file, width, height)) {
        TraceAt(1, block, tagmsg::kScreenshotNotSaved, block.GetName().c_str(), file.c_str());
    }
    std::string written = file;
    if (CFileName(written).GetExtension().empty()) written += ".png";
    m_screen->GetSurfaceManager()->RemoveCached(written);
    return false;
}

}  // namespace kestrin
