#pragma once
// Makes CWave sources for "wav" and "WAV" files.
#include "SOUND/ISoundLoader.h"

namespace kestrin {

class CWaveLoader : public ISoundLoader {
public:
    void GetExtensions(std::vector<std::string>& extensions) override;
    bool Load(ISound*& out, std::shared_ptr<CFile> file) override;
};

}  // namespace kestrin
