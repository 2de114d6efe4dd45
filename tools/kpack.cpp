// kpack: packs a folder into a ".pfs" archive.
//
//   kpack [options] FOLDER ARCHIVE
//     -k, --kind N        index kind 0 to 3 ("pf0" to "pf3"; default 2)
//     -v, --volumes N     spread the entries over ARCHIVE and N volumes ARCHIVE.000 ...
//     -e, --exe FILE      write a copy of FILE with the archive appended (found through
//                         the "MZ" header: base offset in the file's last 4 bytes)
//         --base-at-28    with --exe: store the base offset at header offset 28 instead
//
// Entry names are the paths below FOLDER with '\' between folders, in byte order. The
// writer here is independent of the engine's reader; only the "pf3" key is shared, from
// the header alone (the packer links none of the engine).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "CORE/CPackFile.h"

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string name;  // archive name, '\' separated
    fs::path source;
    uint64_t size = 0;
    uint64_t offset = 0;  // where the bytes go in the output file
};

void PutInt(std::string& out, int64_t value) {
    uint32_t u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void PutString(std::string& out, const std::string& s) {
    PutInt(out, static_cast<int64_t>(s.size()));
    out += s;
}

// The index bytes that follow the 3-byte magic, for entries whose offsets are known.
std::string BuildIndex(int kind, const std::vector<Entry>& entries, uint64_t base, const std::string& container) {
    std::string out;
    if (kind == 0) {
        PutInt(out, static_cast<int64_t>(entries.size()));
        for (const Entry& e : entries) {
            std::string name = e.name.substr(0, 259);
            name.resize(260, '\0');
            out += name;
            PutInt(out, static_cast<int64_t>(e.offset - base));
            PutInt(out, static_cast<int64_t>(e.size));
        }
        return out;
    }
    std::string image;
    PutInt(image, 0);  // no keyed members
    PutInt(image, static_cast<int64_t>(entries.size()));
    for (const Entry& e : entries) {
        PutString(image, e.name);
        if (kind == 1) {
            PutInt(image, static_cast<int64_t>(e.offset));
            PutInt(image, static_cast<int64_t>(e.size));
        } else {
            std::string record;
            PutInt(record, 0);
            PutString(record, container);
            PutInt(record, static_cast<int64_t>(e.offset));
            PutInt(record, static_cast<int64_t>(e.size));
            PutString(image, record);  // a nested object: its length, then its image
        }
    }
    if (kind == 3) {
        for (size_t i = 0; i < image.size(); ++i) image[i] ^= static_cast<char>(kestrin::CPackFile::IndexKey[i % 20]);
    }
    PutInt(out, static_cast<int64_t>(image.size()));
    return out + image;
}

bool CopyInto(std::ofstream& out, const fs::path& source) {
    std::ifstream in(source, std::ios::binary);
    if (!in) return false;
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        out.write(buffer.data(), in.gcount());
    }
    return static_cast<bool>(out);
}

// Writes one archive file: an optional executable prefix, the magic, the index, the bytes.
bool WriteArchive(const fs::path& output, int kind, std::vector<Entry> entries, const std::string& exe, bool baseAt28) {
    std::string prefix;
    if (!exe.empty()) {
        std::ifstream in(exe, std::ios::binary);
        if (!in) {
            std::cerr << "kpack: cannot read " << exe << "\n";
            return false;
        }
        prefix.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (prefix.size() < 32 || prefix[0] != 'M' || prefix[1] != 'Z') {
            std::cerr << "kpack: " << exe << " is not an executable with an \"MZ\" header\n";
            return false;
        }
        if (baseAt28) {
            std::string b;
            PutInt(b, static_cast<int64_t>(prefix.size()));
            prefix.replace(28, 4, b);
        } else {
            prefix.replace(28, 4, std::string(4, '\0'));
        }
    }
    const uint64_t base = prefix.size();
    const std::string container = output.filename().string();
    // Offsets depend on the index length, which depends only on the names.
    std::string index = BuildIndex(kind, entries, base, container);
    uint64_t offset = base + 3 + index.size();
    for (Entry& e : entries) {
        e.offset = offset;
        offset += e.size;
    }
    if (offset > INT32_MAX) {
        std::cerr << "kpack: " << output.string() << " would exceed 2 GiB\n";
        return false;
    }
    index = BuildIndex(kind, entries, base, container);
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::cerr << "kpack: cannot write " << output.string() << "\n";
        return false;
    }
    out.write(prefix.data(), static_cast<std::streamsize>(prefix.size()));
    out.write("pf", 2);
    out.put(static_cast<char>('0' + kind));
    out.write(index.data(), static_cast<std::streamsize>(index.size()));
    for (const Entry& e : entries) {
        if (!CopyInto(out, e.source)) {
            std::cerr << "kpack: cannot read " << e.source.string() << "\n";
            return false;
        }
    }
    if (!exe.empty() && !baseAt28) {
        std::string b;
        PutInt(b, static_cast<int64_t>(base));
        out.write(b.data(), 4);
    }
    return static_cast<bool>(out);
}

// A whole decimal number from min to max; false for anything else ("abc", "3x", "").
bool ParseCount(const char* text, int min, int max, int& out) {
    if (!text || !*text || std::strlen(text) > 4) return false;
    int value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
    }
    if (value < min || value > max) return false;
    out = value;
    return true;
}

int Usage() {
    std::cerr << "usage: kpack [-k 0|1|2|3] [-v VOLUMES] [-e EXE [--base-at-28]] FOLDER ARCHIVE\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int kind = 2;
    int volumes = 0;
    std::string exe;
    bool baseAt28 = false;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "-k" || arg == "--kind") {
            const char* v = value();
            if (!ParseCount(v, 0, 3, kind)) {
                std::cerr << "kpack: the kind must be 0, 1, 2 or 3\n";
                return Usage();
            }
        } else if (arg == "-v" || arg == "--volumes") {
            // Volumes are numbered .000 to .999.
            const char* v = value();
            if (!ParseCount(v, 0, 1000, volumes)) {
                std::cerr << "kpack: the number of volumes must be a whole number from 0 to 1000\n";
                return Usage();
            }
        } else if (arg == "-e" || arg == "--exe") {
            const char* v = value();
            if (!v) return Usage();
            exe = v;
        } else if (arg == "--base-at-28") {
            baseAt28 = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage();
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return Usage();
    const fs::path folder = positional[0];
    const fs::path archive = positional[1];
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        std::cerr << "kpack: " << folder.string() << " is not a folder\n";
        return 1;
    }

    std::vector<Entry> entries;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        Entry e;
        e.source = it->path();
        e.size = it->file_size(ec);
        std::string rel = fs::relative(it->path(), folder, ec).generic_string();
        std::replace(rel.begin(), rel.end(), '/', '\\');
        e.name = rel;
        if (e.name.size() > 259 && kind == 0) {
            std::cerr << "kpack: name too long for pf0: " << e.name << "\n";
            return 1;
        }
        entries.push_back(e);
    }
    if (ec) {
        std::cerr << "kpack: cannot list " << folder.string() << ": " << ec.message() << "\n";
        return 1;
    }
    if (entries.empty()) {
        // An archive without entries is refused by the engine.
        std::cerr << "kpack: " << folder.string() << " holds no files\n";
        return 1;
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });

    // The main archive and each volume take an equal share, in name order.
    const size_t parts = static_cast<size_t>(volumes) + 1;
    const size_t share = (entries.size() + parts - 1) / parts;
    for (size_t p = 0; p < parts; ++p) {
        size_t from = std::min(entries.size(), p * share), to = std::min(entries.size(), (p + 1) * share);
        std::vector<Entry> group(entries.begin() + static_cast<long>(from), entries.begin() + static_cast<long>(to));
        fs::path out = archive;
        if (p > 0) {
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, ".%03d", static_cast<int>(p - 1));
            out += suffix;
        }
        // A "pf0" archive needs at least one record.
        if (group.empty() && kind == 0 && p > 0) continue;
        if (!WriteArchive(out, kind, group, p == 0 ? exe : std::string(), baseAt28)) return 1;
    }
    return 0;
}
