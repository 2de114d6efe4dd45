#include "GRAPHICS/CGraphicLoaders.h"

#include <algorithm>
#include <memory>

#include "CORE/CFile.h"
#include "CORE/CFileFactory.h"
#include "CORE/CFileName.h"

namespace kestrin {

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
    for (IGraphicLoader* loader : m_loaders)
        if (!loader->Load(surface, file)) return false;
    return true;
}

bool CGraphicLoaders::LoadFile(ISurface* surface, const std::string& name) {
    if (!m_fileFactory) return true;
    std::unique_ptr<CFile> file(m_fileFactory->Create());
    if (!file) return true;
    std::vector<std::string> extensions;
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
                if (!loader->Load(surface, file.get())) return false;
            }
        }
        // A loader that already failed on these bytes would fail again.
        for (IGraphicLoader* loader : m_loaders) {
            if (std::find(tried.begin(), tried.end(), loader) != tried.end()) continue;
            if (!loader->Load(surface, file.get())) return false;
        }
    }
    // "bg" tries bg.png, bg.PNG, bg.jpg, ... in loader and extension order.
    for (IGraphicLoader* loader : m_loaders) {
        loader->GetExtensions(extensions);
        for (const std::string& ext : extensions) {
            const std::string candidate = name + "." + ext;
            if (!file->Open(candidate.c_str()) && !loader->Load(surface, file.get())) return false;
        }
    }
    return true;
}

}  // namespace kestrin
