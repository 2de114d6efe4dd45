// CGraphicLoaders::LoadFile with fuzzed names and file contents. Byte 0 picks the name the
// bytes are stored under in a scratch folder; the name asked for follows (up to a 0xFF byte),
// mapped to characters that matter to the lookup (letters of the extensions, dot, separators);
// the rest is the file's content.
#include "CORE/CFileFactory.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CJpg.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

// One folder per process, so that fuzzers running side by side never share files; removed
// at exit.
struct SScratchFolder {
    std::string path;
    SScratchFolder() {
        std::filesystem::path p =
            std::filesystem::temp_directory_path() / ("kestrin_loadfile_fuzz_" + std::to_string(getpid()));
        std::filesystem::create_directories(p);
        path = p.string();
    }
    ~SScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

const std::string& ScratchFolder() {
    static const SScratchFolder folder;
    return folder.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const char* const stored[] = {"a.png", "a.PNG", "a.jpg", "a.JPEG", "a", "a.Jpg", "a.png.jpg", "b"};
    static const char alphabet[] = "abpngjeGNPJE./\\_";
    const std::string folder = ScratchFolder();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);

    size_t pos = 1;
    std::string name;
    while (pos < size && data[pos] != 0xFF && name.size() < 12) name += alphabet[data[pos++] % (sizeof alphabet - 1)];
    if (pos < size && data[pos] == 0xFF) ++pos;
    const std::string storedName = folder + "/" + stored[data[0] % 8];
    if (std::FILE* f = std::fopen(storedName.c_str(), "wb")) {
        std::fwrite(data + pos, 1, size - pos, f);
        std::fclose(f);
    }

    kestrin::CFileFactory files;
    kestrin::CGraphicLoaders loaders(&files);
    loaders.AddLoader(new kestrin::CPng);
    loaders.AddLoader(new kestrin::CJpg);
    kestrin::CSurface surface;
    loaders.LoadFile(&surface, folder + "/" + name);
    return 0;
}
