#pragma once
// A loader over the other loaders: picks one by the file name's extension and falls back
// to trying every loader, then every name with each known extension appended.
#include <string>
#include <vector>

#include "GRAPHICS/IGraphicLoader.h"

namespace kestrin {

class CFileFactory;

class CGraphicLoaders : public IGraphicLoader {
public:
    // The factory is not owned; it makes the file objects names are opened with.
    explicit CGraphicLoaders(CFileFactory* fileFactory);
    ~CGraphicLoaders() override;
    CGraphicLoaders(const CGraphicLoaders&) = delete;
    CGraphicLoaders& operator=(const CGraphicLoaders&) = delete;

    void GetExtensions(std::vector<std::string>&) const override {}
    // Every loader in registration order until one succeeds.
    bool Load(ISurface* surface, CFile* file) override;
    // The first refusal of the last Load's loaders.
    std::string GetRefusal() const override { return m_refusal; }
    // Takes ownership. True for a null loader; false (nothing added) when already listed.
    virtual bool AddLoader(IGraphicLoader* loader);
    // Opens the name (or the name plus a known extension) and loads it; true on failure. Each
    // file a loader refused (a kind of image it does not read) gets one log line saying why.
    virtual bool LoadFile(ISurface* surface, const std::string& name);

private:
    CFileFactory* m_fileFactory;
    std::vector<IGraphicLoader*> m_loaders;
    std::string m_refusal;
};

}  // namespace kestrin
