#pragma once
// Makes CVorbis sources for "ogg" and "OGG" files.
#include "SOUND/ISoundLoader.h"

namespace kestrin {

class CVorbisLoader : public ISoundLoader {
public:
    void GetExtensions(std::vector<std::string>& extensions) override;
    bool Load(ISound*& out, std::shared_ptr<CFile> file) override;
};

}  // namespace kestrin
