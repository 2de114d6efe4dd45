#include "SOUND/CVorbisLoader.h"

#include "SOUND/CVorbis.h"

namespace kestrin {

void CVorbisLoader::GetExtensions(std::vector<std::string>& extensions) {
    extensions.clear();
    extensions.push_back("ogg");
    extensions.push_back("OGG");
}

bool CVorbisLoader::Load(ISound*& out, std::shared_ptr<CFile> file) {
    out = nullptr;
    CVorbis* vorbis = new CVorbis();
    if (vorbis->Open(std::move(file))) {
        delete vorbis;
        return true;
    }
    out = vorbis;
    return false;
}

}  // namespace kestrin
