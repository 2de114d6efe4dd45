// The "video" tag: without an id a movie over the whole game area that the script waits for
// (skippable as the skip attribute says); with an id a ".mja" movie layer that plays while
// the script goes on.
#include <memory>
#include <string>
#include <vector>

#include "CORE/CFile.h"
#include "GRAPHICS/CDsVideo.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/CMja.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

bool CMainScript::TagVideo(CScriptBlock block, bool replay) {
    const std::string& file = block.GetAttribute("file");
    if (!block.HasAttribute("id")) {
        m_videoSkipMode = TagInt(block, "skip", 1);
        CDsVideo* video = m_screen ? m_screen->GetVideo() : nullptr;
        if (video) video->Play(file);
        // A movie that does not play (said in the log) is no reason to wait.
        if (!video || !video->IsPlaying()) return false;
        SetStatus(STAT_VIDEO);
        return true;
    }

    if (!m_screen || !m_screen->IsReady()) return false;
    // Loose files only: a movie is read while it plays.
    auto movieFile = std::make_shared<CFile>();
    if (movieFile->Open(file.c_str()) && movieFile->Open((file + ".mja").c_str())) {
        TraceAt(1, block, tagmsg::kFileMissing, block.GetName().c_str(), file.c_str());
        return false;
    }
    auto movie = std::make_shared<CMja>();
    std::shared_ptr<ISurface> surface = m_screen->GetSurfaceFactory()->Create();
    if (!surface || movie->Open(surface.get(), movieFile, TagFlag(block, "loop"))) {
        TraceAt(1, block, tagmsg::kFileUnsupported, block.GetName().c_str(), file.c_str());
        return false;
    }
    std::shared_ptr<ILayer> layer = m_screen->GetLayerFactory()->Create();
    layer->SetSurface(surface);
    layer->SetAnchorX(layer->GetWidth() / 2);
    layer->SetAnchorY(layer->GetHeight() / 2);
    TagLydel(block, replay);
    const std::string& id = block.GetAttribute("id");
    m_screen->GetRootLayer()->AddChild(id, std::make_shared<COruLayer>(m_screen->GetSurfaceManager(), layer, movie));
    if (!replay) GetSaveData().GetLayerRecord()[id] = std::vector<CScriptBlock>{block};
    return true;
}

}  // namespace kestrin
