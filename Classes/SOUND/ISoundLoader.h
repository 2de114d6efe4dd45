#pragma once
// Makes sources for the file types it knows.
#include <memory>
#include <string>
#include <vector>

#include "CORE/CFile.h"
#include "SOUND/ISound.h"

namespace kestrin {

class ISoundLoader {
public:
    virtual ~ISoundLoader() = default;
    // Clears the list, then fills it with the extensions claimed (without a dot).
    virtual void GetExtensions(std::vector<std::string>& extensions) = 0;
    // On success (false) out holds a new opened source that the caller owns; on failure
    // (true) it is null.
    virtual bool Load(ISound*& out, std::shared_ptr<CFile> file) = 0;
};

}  // namespace kestrin
