#include "GRAPHICS/CGraphicLoaders.h"

#include <algorithm>
#include <memory>

#include "CORE/CFile.h"
#include "CORE/CFileFactory.h"
#include "CORE/CFileName.h"
#include "CORE/CLogWindow.h"
#include "CORE/StringHelpers.h"

namespace kestrin {

namespace {

// A file a loader recognised but refused, and why.
struct SRefusal {
    std::string name;
    std::string reason;
};

// Failed: each refusal is why. Loaded from another file: each says which one is shown.
void LogRefusals(const std::vector<SRefusal>& refusals, const std::string* loaded) {
    for (const SRefusal& r : refusals) {
        if (loaded)
            Log(ELogLevel::Warning, r.name.c_str(), "image not read: %s; %s is shown instead", r.reason.c_str(),
                loaded->c_str());
        else
            Log(ELogLevel::Error, r.name.c_str(), "image not read: %s", r.reason.c_str());
    }
}

}  // namespace

CGraphicLoaders::CGraphicLoaders(CFileFactory* fileFactory) : m_fileFactory(fileFactory) {}

CGraphicLoaders::~CGraphicLoaders() {
    for (IGraphicLoader* loader : m_loaders) delete loader;
}

bool CGraphicLoaders::AddLoader(IGraphicLoader* loader) {
    if (!loader) return true;
    if (std::find(m_loaders.begin(), m_loaders.end(), loader) == m_loaders.end()) m_loaders.push_back(loader);
    return false;
}

bool CGraphicLoaders::Load(ISurface* surface, CFile* file) {
    m_refusal.clear();
    for (IGraphicLoader* loader : m_loaders) {
        if (!loader->Load(surface, file)) {
            m_refusal.clear();
            return false;
        }
        if (m_refusal.empty()) m_refusal = loader->GetRefusal();
    }
    return true;
}

bool CGraphicLoaders::LoadFile(ISurface* surface, const std::string& name) {
    if (!m_fileFactory) return true;
    std::unique_ptr<CFile> file(m_fileFactory->Create());
    if (!file) return true;
    std::vector<std::string> extensions;
    // Files are named in the log as the game names them. A name is opened in several
    // spellings (bg.png, bg.PNG) that may be one file: each file and reason is kept once.
    std::vector<SRefusal> refusals;
    auto loaded = [&](IGraphicLoader* loader, const std::string& opened) {
        if (!loader->Load(surface, file.get())) return true;
        SRefusal refusal{opened, loader->GetRefusal()};
        if (refusal.reason.empty()) return false;
        for (const SRefusal& seen : refusals)
            if (seen.reason == refusal.reason && ToLowerString(seen.name) == ToLowerString(refusal.name)) return false;
        refusals.push_back(refusal);
        return false;
    };
    if (!file->Open(name.c_str())) {
        // Loaders whose extensions hold the name's (case-sensitive) go first. Every
        // attempt reads the file from its beginning.
        std::vector<IGraphicLoader*> tried;
        const std::string ext = CFileName(name).GetExtension();
        if (!ext.empty()) {
            for (IGraphicLoader* loader : m_loaders) {
                loader->GetExtensions(extensions);
                if (std::find(extensions.begin(), extensions.end(), ext) == extensions.end()) continue;
                tried.push_back(loader);
                if (loaded(loader, name)) return false;
            }
        }
        // A loader that already failed on these bytes would fail again.
        for (IGraphicLoader* loader : m_loaders) {
            if (std::find(tried.begin(), tried.end(), loader) != tried.end()) continue;
            if (loaded(loader, name)) return false;
        }
    }
    // "bg" tries bg.png, bg.PNG, bg.jpg, ... in loader and extension order.
    for (IGraphicLoader* loader : m_loaders) {
        loader->GetExtensions(extensions);
        for (const std::string& ext : extensions) {
            const std::string candidate = name + "." + ext;
            if (!file->Open(candidate.c_str()) && loaded(loader, candidate)) {
                LogRefusals(refusals, &candidate);
                return false;
            }
        }
    }
    LogRefusals(refusals, nullptr);
    return true;
}

}  // namespace kestrin
