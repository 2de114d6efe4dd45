#include "CORE/CPackFile.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "CORE/CLogWindow.h"
#include "CORE/CSerializer.h"
#include "CORE/GamePath.h"
#include "CORE/RootArchive.h"
#include "CORE/StringHelpers.h"
#include "CORE/DisplayText.h"
#include "babel/babel.h"

namespace kestrin {

std::unordered_map<std::string, CPackFile::EntryMap> CPackFile::ArchiveTable(11);
std::string& CPackFile::RootPackName = g_rootArchivePath;
const std::string CPackFile::PackExtension = ".pfs";
// The "pf3" index key; tools/kpack writes with the same bytes.
const unsigned char CPackFile::IndexKey[20] = {0x4B, 0x9E, 0x21, 0xD3, 0x57, 0x0C, 0xA8, 0x6F, 0x13, 0xE5,
                                               0x7A, 0x32, 0xC1, 0x88, 0x5D, 0xF0, 0x26, 0x9B, 0x44, 0xB7};

namespace {

bool ReadInt32(CFile& file, int32_t& value) {
    unsigned char b[4];
    if (file.Read(b, 4) != 4) return true;
    value = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                 (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
    return false;
}

// Entries whose bytes are not all inside their container are dropped.
bool InsideContainer(int64_t start, int64_t size, int64_t containerSize) {
    return start >= 0 && size >= 0 && start + size <= containerSize;
}

}  // namespace

void CPackFile::CPackedFile::Save(CSerializer* serializer) {
    serializer->SaveString(container, 0);
    serializer->SaveInt(start, 0);
    serializer->SaveInt(size, 0);
}

void CPackFile::CPackedFile::Load(CSerializer* serializer) {
    serializer->LoadString(container, 0);
    serializer->LoadInt(start, 0);
    serializer->LoadInt(size, 0);
}

CPackFile::~CPackFile() = default;

CFile* CPackFile::Clone(bool copyState) {
    CPackFile* clone = new CPackFile();
    if (copyState) clone->CopyFrom(*this);
    return clone;
}

void CPackFile::CopyFrom(const CPackFile& other) {
    CFile::CopyFrom(other);
    m_entryStart = other.m_entryStart;
    m_entrySize = other.m_entrySize;
}

std::string CPackFile::EntryKey(const std::string& name) {
    return FoldFileName(StringReplaceAll(name, "/", "\\"));
}

void CPackFile::ClearArchives() { ArchiveTable.clear(); }

std::string CPackFile::JoinPathFrom(const std::vector<std::string>& parts, size_t position) {
    std::string out;
    for (size_t i = position + 1; i < parts.size(); ++i) {
        if (i > position + 1) out += '\\';
        out += parts[i];
    }
    return out;
}

bool CPackFile::LoadArchive(const char* name, bool isVolume) {
    if (!name || !*name) return true;
    const std::string archive = name;
    const std::string key = EntryKey(archive);
    if (ArchiveTable.count(key)) return false;

    CFile reader;
    if (reader.Open(name)) return true;
    EntryMap& entries = ArchiveTable[key];  // loaded from here on, even if the rest fails
    const int64_t fileSize = reader.GetSize();
    if (fileSize < 0) return true;

    char magic[3] = {0, 0, 0};
    if (reader.Read(magic, 3) != 3) return true;
    int64_t base = 0;
    if (magic[0] == 'M' && magic[1] == 'Z') {
        int32_t b = 0;
        if (reader.Seek(28, SEEK_SET) || ReadInt32(reader, b)) return true;
        if (b == 0 && (reader.Seek(-4, SEEK_END) || ReadInt32(reader, b))) return true;
        base = b;
        if (base <= 0 || base + 3 > fileSize || reader.Seek(static_cast<int>(base), SEEK_SET) ||
            reader.Read(magic, 3) != 3) {
            LogPrintf("%s: no archive found in the executable", archive.c_str());
            return true;
        }
    }
    if (magic[0] != 'p' || magic[1] != 'f' || magic[2] < '0' || magic[2] > '3') {
        // Path prefixes are tried as archives too: only a ".pfs" name is worth a line.
        const std::string ext = archive.size() >= PackExtension.size()
                                    ? FoldFileName(archive.substr(archive.size() - PackExtension.size()))
                                    : std::string();
        if (ext == PackExtension) LogPrintf("%s: not a pack archive", archive.c_str());
        return true;
    }
    int dropped = 0;

    if (magic[2] == '0') {
        int32_t count = 0;
        if (ReadInt32(reader, count) || count <= 0) return true;
        // Records are read until the count or the file ends, so the count allocates nothing.
        for (int32_t i = 0; i < count; ++i) {
            char record[268];
            if (reader.Read(record, sizeof record) != static_cast<int>(sizeof record)) {
                LogPrintf("%s: archive index is truncated", archive.c_str());
                return true;
            }
            size_t length = strnlen(record, 260);
            int32_t offset, size;
            std::memcpy(&offset, record + 260, 4);
            std::memcpy(&size, record + 264, 4);
            const int64_t start = base + offset;
            if (!InsideContainer(start, size, fileSize) || start > INT32_MAX) {
                ++dropped;
                continue;
            }
            CPackedFile entry(archive, static_cast<int32_t>(start), size);
            entry.name.assign(record, length);
            entries[EntryKey(entry.name)] = entry;  // a later record of the same name wins
        }
    } else {
        int32_t length = 0;
        if (ReadInt32(reader, length)) return true;
        const int64_t left = fileSize - reader.Tell();
        if (length < 0 || length > left) {
            LogPrintf("%s: archive index length %d does not fit the file", archive.c_str(), length);
            return true;
        }
        std::vector<unsigned char> index(static_cast<size_t>(length));
        if (length > 0 && reader.Read(index.data(), static_cast<unsigned>(length)) != length) return true;
        if (magic[2] == '3') {
            for (size_t i = 0; i < index.size(); ++i) index[i] ^= IndexKey[i % 20];
        }
        CSerializer serializer;
        serializer.Attach(index.data(), static_cast<unsigned>(index.size()));
        // The first of two entries with one name stays.
        auto add = [&](const std::string& entryName, int64_t start, int64_t size) {
            if (!InsideContainer(start, size, fileSize)) {
                ++dropped;
                return;
            }
            CPackedFile entry(archive, static_cast<int32_t>(start), static_cast<int32_t>(size));
            entry.name = entryName;
            entries.emplace(EntryKey(entryName), entry);
        };
        // Loaded in index order (not through a hash map) so that of two names that match
        // each other the first in the index stays.
        if (magic[2] == '1') {
            std::vector<std::pair<std::string, std::pair<int32_t, int32_t>>> ranges;
            serializer.LoadContainer(ranges, 0);
            for (const auto& range : ranges) add(range.first, range.second.first, range.second.second);
        } else {
            std::vector<std::pair<std::string, CPackedFile>> packed;
            serializer.LoadContainer(packed, 0);
            // The stored container is ignored: the bytes are in this archive.
            for (const auto& item : packed) add(item.first, item.second.start, item.second.size);
        }
    }

    if (dropped > 0) LogPrintf("%s: %d entries lie outside the file and were skipped", archive.c_str(), dropped);

    if (!isVolume) {
        char volume[32];
        for (int k = 0; k <= 999; ++k) {
            std::snprintf(volume, sizeof volume, ".%03d", k);
            const std::string volumeName = archive + volume;
            if (LoadArchive(volumeName.c_str(), true)) continue;
            auto found = ArchiveTable.find(EntryKey(volumeName));
            if (found == ArchiveTable.end()) continue;
            EntryMap& merged = ArchiveTable[key];
            for (const auto& item : found->second) merged[item.first] = item.second;  // the volume wins
        }
    }
    return false;
}

bool CPackFile::GetFileList(const std::string& archive, std::vector<std::string>& out) {
    if (LoadArchive(archive.c_str())) return true;
    out.clear();
    auto it = ArchiveTable.find(EntryKey(archive));
    if (it == ArchiveTable.end()) return false;
    for (const auto& item : it->second) out.push_back(item.second.name);
    return false;
}

const CPackFile::CPackedFile* CPackFile::FindEntry(const std::string& archive, const std::string& name) {
    auto a = ArchiveTable.find(EntryKey(archive));
    if (a == ArchiveTable.end()) return nullptr;
    auto e = a->second.find(EntryKey(name));
    // Archives packed from folders unpacked here may hold the UTF-8 form of a name.
    if (e == a->second.end() && !IsValidUtf8(name)) e = a->second.find(EntryKey(babel::sjis_to_utf8(name)));
    return e == a->second.end() ? nullptr : &e->second;
}

bool CPackFile::FindCandidate(const std::string& prefix, bool load, std::string& archive) {
    const std::string withExtension = prefix + PackExtension;
    if (load) {
        if (!LoadArchive(prefix.c_str())) {
            archive = prefix;
            return true;
        }
        if (!LoadArchive(withExtension.c_str())) {
            archive = withExtension;
            return true;
        }
        return false;
    }
    if (ArchiveTable.count(EntryKey(prefix))) {
        archive = prefix;
        return true;
    }
    if (ArchiveTable.count(EntryKey(withExtension))) {
        archive = withExtension;
        return true;
    }
    return false;
}

bool CPackFile::OpenEntry(const CPackedFile& entry, const std::string& name) {
    // A container that no longer opens is a failure, not an entry that reads nothing.
    const CPackedFile copy = entry;  // the table may grow while the container opens
    if (CFile::Open(copy.container.c_str())) return true;
    m_entryStart = copy.start;
    m_entrySize = copy.size;
    m_name = name;
    Seek(0, SEEK_SET);
    return false;
}

bool CPackFile::Open(const char* name) {
    if (IsOpen()) Close();
    if (!name || !*name) return true;
    const std::string path = StringReplaceAll(name, "/", "\\");

    if (!CFile::Open(path.c_str())) {
        int size = CFile::GetSize();
        if (size >= 0) {
            m_entryStart = 0;
            m_entrySize = size;
            CFile::Seek(0, SEEK_SET);
            return false;
        }
        Close();
    }

    if (!LoadArchive(RootPackName.c_str())) {
        if (const CPackedFile* entry = FindEntry(RootPackName, path)) {
            if (!OpenEntry(*entry, path)) return false;
        }
    }

    const std::vector<std::string> parts = SplitPathElements(path, '\\');
    // First among the archives already loaded, then loading the candidates.
    for (bool load : {false, true}) {
        std::string prefix;
        for (size_t i = 0; i < parts.size(); ++i) {
            prefix += (i ? "\\" : "") + parts[i];
            std::string archive;
            if (!FindCandidate(prefix, load, archive)) continue;
            if (const CPackedFile* entry = FindEntry(archive, JoinPathFrom(parts, i))) {
                if (!OpenEntry(*entry, path)) return false;
            }
        }
    }
    return true;
}

int CPackFile::Close() {
    if (!IsOpen()) return -1;
    m_entryStart = 0;
    m_entrySize = 0;
    return CFile::Close();
}

int CPackFile::Tell() {
    const int raw = CFile::Tell();
    if (raw < 0 || raw < m_entryStart) return -1;
    const int64_t relative = static_cast<int64_t>(raw) - m_entryStart;
    return relative > m_entrySize ? -1 : static_cast<int>(relative);
}

int CPackFile::Seek(int offset, int origin) {
    if (!IsOpen()) return -1;
    const int64_t start = m_entryStart, end = static_cast<int64_t>(m_entryStart) + m_entrySize;
    int64_t target;
    switch (origin) {
        case SEEK_SET:
            target = start + offset;
            break;
        case SEEK_CUR: {
            const int raw = CFile::Tell();
            if (raw < 0) return -1;
            target = static_cast<int64_t>(raw) + offset;
            if (target < start || target > end) return -1;  // refused: the position stays
            break;
        }
        case SEEK_END:
            target = end + offset;
            break;
        default:
            return -1;
    }
    // Never before the entry; past its end reads nothing (Tell is then -1).
    if (target < start || target > INT_MAX) return -1;
    return CFile::Seek(static_cast<int>(target), SEEK_SET);
}

int CPackFile::Read(void* buffer, unsigned size) {
    const int position = Tell();
    if (position < 0) return 0;
    const unsigned left = static_cast<unsigned>(m_entrySize - position);
    if (size > left) size = left;
    return CFile::Read(buffer, size);
}

int CPackFile::GetSize() { return IsOpen() ? m_entrySize : -1; }

}  // namespace kestrin
