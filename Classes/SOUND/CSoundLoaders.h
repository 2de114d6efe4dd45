#pragma once
// The loader registry: picks a loader by the file's extension, tries the others when that
// fails, and tries each known extension in turn when the name does not open as given.
#include <memory>
#include <string>
#include <vector>

#include "CORE/CFileFactory.h"
#include "SOUND/ISoundLoader.h"

namespace kestrin {

class CSoundLoaders : public ISoundLoader {
public:
    // The factory is not owned; it makes the file objects names are opened with.
    explicit CSoundLoaders(CFileFactory* factory) : m_factory(factory) {}
    ~CSoundLoaders() override;
    CSoundLoaders(const CSoundLoaders&) = delete;
    CSoundLoaders& operator=(const CSoundLoaders&) = delete;

    // Leaves the list unchanged.
    void GetExtensions(std::vector<std::string>& extensions) override;
    // Each loader in order on the opened file; true when none succeeds.
    bool Load(ISound*& out, std::shared_ptr<CFile> file) override;
    // Takes ownership. Null -> true; a loader already listed -> false, nothing changes.
    virtual bool AddLoader(ISoundLoader* loader);
    // True on failure.
    virtual bool LoadFile(ISound*& out, const std::string& name);

private:
    // True when the loader fails (read against the name, as LoadFile); out is then null.
    bool TryLoader(ISoundLoader* loader, ISound*& out, const std::shared_ptr<CFile>& file);

    CFileFactory* m_factory;
    std::vector<ISoundLoader*> m_loaders;
};

}  // namespace kestrin
