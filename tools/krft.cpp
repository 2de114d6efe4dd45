// krft: writes a pre-rendered ".rft" font file from glyph images.
//
//   krft [options] OUTPUT [CODE=IMAGE ...]
//     -m, --magic NAME    rft0, rft1, rft2 or rft3 (default rft1)
//     -u, --unicode       rft3: codes are UTF-16 units (header CHARSET=UTF-8)
//     -s, --set KEY=VALUE rft3: a key of the header's [FONT] section (repeatable)
//         --header FILE   rft3: the header text taken from FILE as it is
//
// CODE is hexadecimal with "0x" or decimal: a Shift_JIS code (lead byte x 256 + trail byte,
// single bytes as themselves) or, with --unicode, a UTF-16 unit. IMAGE is any file (PNG or
// JPEG for the engine); its bytes are stored unchanged. Codes without an image get an empty
// entry. The code tables are written out here independently of the engine's reader.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using Ranges = std::vector<std::pair<uint32_t, uint32_t>>;

Ranges TableOf(const std::string& magic, bool unicode) {
    if (magic == "rft0") return {{0x21, 0x7E}, {0xA1, 0xDF}, {0x8141, 0x9FFC}, {0xE040, 0xEAA4}, {0xF040, 0xF9FC}};
    if (magic == "rft1" || magic == "rft2")
        return {{0x21, 0x7E}, {0xA1, 0xDF}, {0x8140, 0x9FFC}, {0xE040, 0xEAA4}, {0xF040, 0xF9FC}};
    if (unicode) return {{0x0000, 0x0000}, {0x0021, 0x007E}, {0x0080, 0xD7FF}, {0xE000, 0xFFFF}};
    return {{0x00, 0x00}, {0x21, 0x7E}, {0xA1, 0xDF}, {0x8140, 0x9FFC}, {0xE040, 0xEAA4}, {0xF040, 0xF9FC}};
}

void PutInt(std::string& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + size_t(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

int Usage() {
    std::cerr << "usage: krft [-m rft0|rft1|rft2|rft3] [-u] [-s KEY=VALUE]... [--header FILE] OUTPUT [CODE=IMAGE]...\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string magic = "rft1", output, headerFile;
    bool unicode = false;
    std::vector<std::string> keys;
    std::map<uint32_t, std::string> glyphs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-m" || arg == "--magic") && i + 1 < argc) {
            magic = argv[++i];
        } else if (arg == "-u" || arg == "--unicode") {
            unicode = true;
        } else if ((arg == "-s" || arg == "--set") && i + 1 < argc) {
            keys.push_back(argv[++i]);
        } else if (arg == "--header" && i + 1 < argc) {
            headerFile = argv[++i];
        } else if (output.empty()) {
            output = arg;
        } else {
            const size_t eq = arg.find('=');
            if (eq == std::string::npos) return Usage();
            const std::string codeText = arg.substr(0, eq);
            char* end = nullptr;
            const unsigned long code = std::strtoul(codeText.c_str(), &end, 0);
            if (codeText.empty() || *end != '\0' || code > 0xFFFF) return Usage();
            std::string bytes;
            if (!ReadFile(arg.substr(eq + 1), bytes)) {
                std::cerr << "krft: cannot read " << arg.substr(eq + 1) << "\n";
                return 1;
            }
            glyphs[uint32_t(code)] = bytes;
        }
    }
    if (output.empty() || (magic != "rft0" && magic != "rft1" && magic != "rft2" && magic != "rft3")) return Usage();
    if (magic == "rft3") {
        std::string header;
        if (!headerFile.empty()) {
            if (!ReadFile(headerFile, header)) {
                std::cerr << "krft: cannot read " << headerFile << "\n";
                return 1;
            }
        } else {
            header = "[FONT]\r\n";
            if (unicode) header += "CHARSET=UTF-8\r\n";
            for (const std::string& k : keys) header += k + "\r\n";
        }
        glyphs[0] = header;
    }

    const Ranges table = TableOf(magic, unicode);
    size_t entries = 0;
    for (const auto& r : table) entries += r.second - r.first + 1;
    std::string file(4 + 8 * entries, '\0');
    std::memcpy(&file[0], magic.data(), 4);
    size_t slot = 4;
    for (const auto& r : table) {
        for (uint32_t code = r.first; code <= r.second; ++code, slot += 8) {
            auto it = glyphs.find(code);
            if (it == glyphs.end()) continue;
            PutInt(file, slot, uint32_t(file.size()));
            PutInt(file, slot + 4, uint32_t(it->second.size()));
            file += it->second;
            glyphs.erase(it);
        }
    }
    for (const auto& g : glyphs) std::cerr << "krft: code 0x" << std::hex << g.first << " is not in the table\n";
    std::ofstream out(output, std::ios::binary);
    out.write(file.data(), std::streamsize(file.size()));
    if (!out) {
        std::cerr << "krft: cannot write " << output << "\n";
        return 1;
    }
    return glyphs.empty() ? 0 : 1;
}
