#include "SOUND/CWaveLoader.h"

#include "SOUND/CWave.h"

namespace kestrin {

void CWaveLoader::GetExtensions(std::vector<std::string>& extensions) {
    extensions.clear();
    extensions.push_back("wav");
    extensions.push_back("WAV");
}

bool CWaveLoader::Load(ISound*& out, std::shared_ptr<CFile> file) {
    out = nullptr;
    CWave* wave = new CWave();
    if (wave->Open(std::move(file))) {
        delete wave;
        return true;
    }
    out = wave;
    return false;
}

}  // namespace kestrin
