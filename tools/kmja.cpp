// kmja: writes a ".mja" movie from JPEG files, for authors and tests.
//   kmja [-a] FPS OUT.mja FRAME.jpg...
// Without -a every file is one frame. With -a the files go in pairs: a colour JPEG, then the
// grey JPEG that becomes its alpha. The JPEG bytes are stored as they are.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

int Usage() {
    std::fprintf(stderr, "usage: kmja [-a] FPS OUT.mja FRAME.jpg [ALPHA.jpg] ...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int arg = 1;
    bool alpha = false;
    if (arg < argc && std::strcmp(argv[arg], "-a") == 0) {
        alpha = true;
        ++arg;
    }
    if (argc - arg < 3) return Usage();
    char* end = nullptr;
    const unsigned long fps = std::strtoul(argv[arg], &end, 10);
    if (!end || *end != 0 || fps > 0xFFFFFFFFul) return Usage();
    const std::string outPath = argv[arg + 1];
    arg += 2;
    if (alpha && (argc - arg) % 2 != 0) {
        std::fprintf(stderr, "kmja: -a takes the files in pairs (colour, alpha)\n");
        return 2;
    }
    std::string out = "MJA";
    out += static_cast<char>(alpha ? 1 : 0);
    Put32(out, static_cast<uint32_t>(fps));
    for (; arg < argc; ++arg) {
        std::ifstream in(argv[arg], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "kmja: cannot read %s\n", argv[arg]);
            return 1;
        }
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Put32(out, static_cast<uint32_t>(bytes.size()));
        out += bytes;
    }
    std::ofstream file(outPath, std::ios::binary);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!file) {
        std::fprintf(stderr, "kmja: cannot write %s\n", outPath.c_str());
        return 1;
    }
    return 0;
}
