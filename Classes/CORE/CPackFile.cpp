#include "CORE/CPackFile.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "CORE/CGameFileNames.h"
#include "CORE/CLogWindow.h"
#include "CORE/CSerializer.h"
#include "CORE/GamePath.h"
#include "CORE/RootArchive.h"
#include "CORE/StringHelpers.h"

namespace kestrin {

std::unordered_map<std::string, CPackFile::SArchive> CPackFile::ArchiveTable(11);
int CPackFile::ArchiveTableEncoding = kEncodingShiftJis;
std::string& CPackFile::RootPackName = g_rootArchivePath;
const std::string CPackFile::PackExtension = ".pfs";

namespace {

bool ReadInt32(CFile& file, int32_t& value) {
    unsigned char b[4];
    if (file.Read(b, 4) != 4) return true;
    value = DecodeInt32(b);
    return false;
}

// Entries whose bytes are not all inside their container are dropped.
bool InsideContainer(int64_t start, int64_t size, int64_t containerSize) {
    return start >= 0 && size >= 0 && start + size <= containerSize;
}

// Reads an index image as the serializer reads it (member index, count, elements), straight
// into the archive's entries. Reads past the end fail without moving, as the serializer's do.
class CIndexReader {
public:
    CIndexReader(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}
    size_t Left() const { return m_size - m_at; }
    // True on failure.
    bool ReadInt(int32_t& value) {
        if (Left() < 4) return true;
        value = DecodeInt32(m_data + m_at);
        m_at += 4;
        return false;
    }
    // The keyed-member index in front of every image: not needed here.
    void SkipMemberIndex() {
        int32_t count = 0;
        if (ReadInt(count) || count <= 0) return;
        m_at += std::min(static_cast<size_t>(count), Left() / 8) * 8;
    }
    // A string member: the bytes up to the first zero. True when its length does not fit.
    bool ReadString(std::string& out) {
        int32_t length = 0;
        if (ReadInt(length) || length < 0 || static_cast<size_t>(length) > Left()) return true;
        const char* text = reinterpret_cast<const char*>(m_data + m_at);
        const void* zero = std::memchr(text, 0, static_cast<size_t>(length));
        out.assign(text,
                   zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : static_cast<size_t>(length));
        m_at += static_cast<size_t>(length);
        return false;
    }
    // A nested CPackedFile block: start and size (its container is not needed); false when
    // the block cannot hold the whole record.
    bool ReadRecord(int32_t& start, int32_t& size) {
        int32_t length = 0;
        if (ReadInt(length) || length <= 0 || static_cast<size_t>(length) > Left()) return false;
        CIndexReader block(m_data + m_at, static_cast<size_t>(length));
        m_at += static_cast<size_t>(length);
        block.SkipMemberIndex();
        int32_t containerLength = 0;
        if (block.ReadInt(containerLength) || containerLength < 0 ||
            block.Left() < static_cast<size_t>(containerLength) + 8)
            return false;
        block.m_at += static_cast<size_t>(containerLength);
        block.ReadInt(start);
        block.ReadInt(size);
        return true;
    }

private:
    const unsigned char* m_data;
    size_t m_size;
    size_t m_at = 0;
};

}  // namespace

void CPackFile::CPackedFile::Save(CSerializer* serializer) {
    serializer->SaveString(container, 0);
    serializer->SaveInt(start, 0);
    serializer->SaveInt(size, 0);
}

void CPackFile::CPackedFile::Load(CSerializer* serializer) {
    // The container string (length and bytes), then start and size: all must be there.
    CBinaryStream* stream = serializer->GetStream();
    const uint32_t at = stream->GetPosition();
    unsigned char length[4];
    whole = false;
    if (stream->Read(length, 4)) return;
    stream->SetPosition(at);
    const int64_t stringLength = DecodeInt32(length);
    if (stringLength < 0 || static_cast<int64_t>(stream->GetRemaining()) < 4 + stringLength + 8) return;
    serializer->LoadString(container, 0);
    serializer->LoadInt(start, 0);
    serializer->LoadInt(size, 0);
    whole = true;
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

void CPackFile::ClearArchives() { ArchiveTable.clear(); }

std::string CPackFile::JoinPathFrom(const std::vector<std::string>& parts, size_t position) {
    std::string out;
    for (size_t i = position + 1; i < parts.size(); ++i) {
        if (i > position + 1) out += '\\';
        out += parts[i];
    }
    return out;
}

CPackFile::SArchive* CPackFile::FindArchive(const std::string& name) {
    const int encoding = CGameFileNames::Encoding();
    if (encoding != ArchiveTableEncoding) {
        // The root archive is read before "system.ini" declares the game's encoding.
        std::unordered_map<std::string, SArchive> rekeyed(11);
        for (auto& item : ArchiveTable) {
            rekeyed.emplace(CGameFileNames::Key(item.second.name, encoding), std::move(item.second));
        }
        ArchiveTable.swap(rekeyed);
        ArchiveTableEncoding = encoding;
    }
    auto it = ArchiveTable.find(CGameFileNames::Key(name, encoding));
    return it == ArchiveTable.end() ? nullptr : &it->second;
}

bool CPackFile::ReadIndex(CFile& reader, SArchive& archive) {
    const std::string& name = archive.name;
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
            Log(ELogLevel::Error, name.c_str(), "no archive found in the executable");
            return true;
        }
    }
    if (magic[0] != 'p' || magic[1] != 'f' || magic[2] < '0' || magic[2] > '3') {
        // Path prefixes are tried as archives too: only a ".pfs" name is worth a line.
        const std::string ext = name.size() >= PackExtension.size()
                                    ? CGameFileNames::Fold(name.substr(name.size() - PackExtension.size()))
                                    : std::string();
        if (ext == PackExtension) Log(ELogLevel::Error, name.c_str(), "not a pack archive");
        return true;
    }
    int outside = 0;
    int broken = 0;
    std::vector<SEntry>& entries = archive.entries;
    archive.containers.assign(1, name);
    // Entries are built in place in the table; one whose bytes are not all in the file is
    // taken out again.
    auto place = [&](int64_t start, int64_t size) {
        if (!InsideContainer(start, size, fileSize) || start > INT32_MAX) {
            entries.pop_back();
            ++outside;
            return;
        }
        entries.back().start = static_cast<int32_t>(start);
        entries.back().size = static_cast<int32_t>(size);
    };

    if (magic[2] == '0') {
        int32_t count = 0;
        if (ReadInt32(reader, count) || count <= 0) {
            Log(ELogLevel::Error, name.c_str(), "archive index holds no entries");
            return true;
        }
        // The count sizes the table only as far as the file can hold its records.
        const int64_t left = fileSize - reader.Tell();
        entries.reserve(static_cast<size_t>(std::min<int64_t>(count, std::max<int64_t>(left, 0) / 268)));
        // A later record of the same name wins: index order is rising precedence.
        for (int32_t i = 0; i < count; ++i) {
            unsigned char record[268];
            if (reader.Read(record, sizeof record) != static_cast<int>(sizeof record)) {
                Log(ELogLevel::Error, name.c_str(), "archive index is truncated");
                return true;
            }
            const char* text = reinterpret_cast<const char*>(record);
            entries.emplace_back().name.assign(text, strnlen(text, 260));
            place(base + DecodeInt32(record + 260), DecodeInt32(record + 264));
        }
    } else {
        int32_t length = 0;
        if (ReadInt32(reader, length)) return true;
        const int64_t left = fileSize - reader.Tell();
        if (length < 0 || length > left) {
            Log(ELogLevel::Error, name.c_str(), "archive index length %d does not fit the file", length);
            return true;
        }
        std::vector<unsigned char> index(static_cast<size_t>(length));
        if (length > 0 && reader.Read(index.data(), static_cast<unsigned>(length)) != length) return true;
        if (magic[2] == '3') {
            for (size_t i = 0, k = 0; i < index.size(); ++i, k = k == 19 ? 0 : k + 1) index[i] ^= IndexKey[k];
        }
        const bool ranges = magic[2] == '1';
        CIndexReader image(index.data(), index.size());
        image.SkipMemberIndex();
        int32_t count = 0;
        if (image.ReadInt(count) || count <= 0) {
            Log(ELogLevel::Warning, name.c_str(), "archive index holds no entries");
        } else {
            // An element takes at least 12 bytes ("pf1": name length, offset, size) or 24
            // (with its record block): the count sizes the table as far as the image holds.
            entries.reserve(std::min(static_cast<size_t>(count), image.Left() / (ranges ? 12 : 24)));
            int32_t read = 0;
            for (; read < count; ++read) {
                int32_t start = 0, size = 0;
                if (image.ReadString(entries.emplace_back().name) ||
                    (ranges && (image.ReadInt(start) || image.ReadInt(size)))) {
                    // What follows a cut element cannot be told apart from noise.
                    entries.pop_back();
                    break;
                }
                if (!ranges && !image.ReadRecord(start, size)) {
                    // The stored container is ignored: the bytes are in this archive.
                    entries.pop_back();
                    ++broken;
                    continue;
                }
                place(start, size);
            }
            if (read < count)
                Log(ELogLevel::Error, name.c_str(), "archive index is truncated: %d of %d entries read", read, count);
            // Of two names that match the first stays here: entries are in rising precedence.
            std::reverse(entries.begin(), entries.end());
        }
    }
    if (outside > 0) Log(ELogLevel::Warning, name.c_str(), "%d entries lie outside the file and were skipped", outside);
    if (broken > 0) Log(ELogLevel::Warning, name.c_str(), "%d entries have a broken record and were skipped", broken);
    return false;
}

std::vector<int> CPackFile::VolumeNumbers(const std::string& archive) {
    std::vector<int> numbers;
    std::vector<std::string> names;
    if (ListGameFolderOf(archive, names)) {
        // No listing to go by: every number is tried.
        for (int k = 0; k <= 999; ++k) numbers.push_back(k);
        return numbers;
    }
    // Any name ending in ".NNN" may be one (the spelling of the rest is matched on loading).
    for (const std::string& n : names) {
        const size_t size = n.size();
        if (size < 5 || n[size - 4] != '.') continue;
        int k = 0;
        bool digits = true;
        for (size_t i = size - 3; i < size; ++i) {
            if (n[i] < '0' || n[i] > '9') digits = false;
            k = k * 10 + (n[i] - '0');
        }
        if (digits) numbers.push_back(k);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

bool CPackFile::LoadArchive(const char* name, bool isVolume) {
    if (!name || !*name) return true;
    if (SArchive* loaded = FindArchive(name)) return loaded->failed;

    CFile reader;
    if (reader.Open(name)) return true;
    // Known from here on, even if the rest fails: then it stays refused.
    SArchive& archive = ArchiveTable[CGameFileNames::Key(name, ArchiveTableEncoding)];
    archive.name = name;
    if (ReadIndex(reader, archive)) {
        archive.failed = true;
        archive.entries.clear();
        archive.entries.shrink_to_fit();
        return true;
    }
    reader.Close();

    if (!isVolume) {
        char suffix[8];
        for (int k : VolumeNumbers(archive.name)) {
            std::snprintf(suffix, sizeof suffix, ".%03d", k);
            const std::string volumeName = archive.name + suffix;
            if (LoadArchive(volumeName.c_str(), true)) continue;
            const SArchive* volume = FindArchive(volumeName);
            if (!volume) continue;
            // Appended: a volume's entries win over those loaded before them. They keep their
            // volume as container.
            const uint32_t first = static_cast<uint32_t>(archive.containers.size());
            archive.containers.insert(archive.containers.end(), volume->containers.begin(), volume->containers.end());
            archive.entries.reserve(archive.entries.size() + volume->entries.size());
            for (const SEntry& entry : volume->entries) {
                archive.entries.push_back(entry);
                archive.entries.back().container += first;
            }
        }
    }
    archive.keyed[0] = archive.keyed[1] = false;
    return false;
}

bool CPackFile::GetFileList(const std::string& archive, std::vector<std::string>& out) {
    if (LoadArchive(archive.c_str())) return true;
    out.clear();
    SArchive* found = FindArchive(archive);
    if (!found) return false;
    // The entries a lookup can reach (of two whose names match, the one in use).
    std::vector<bool> used(found->entries.size(), false);
    for (const auto& item : Keys(*found, ArchiveTableEncoding)) used[item.second] = true;
    for (size_t i = 0; i < found->entries.size(); ++i) {
        if (used[i]) out.push_back(found->entries[i].name);
    }
    return false;
}

const std::unordered_map<std::string, size_t>& CPackFile::Keys(SArchive& archive, int encoding) {
    const size_t k = encoding == kEncodingUtf8 ? 1 : 0;
    if (!archive.keyed[k]) {
        archive.byKey[k].clear();
        archive.byKey[k].reserve(archive.entries.size());
        for (size_t i = 0; i < archive.entries.size(); ++i) {
            archive.byKey[k][CGameFileNames::Key(archive.entries[i].name, encoding)] = i;
        }
        archive.keyed[k] = true;
    }
    return archive.byKey[k];
}

const CPackFile::SEntry* CPackFile::FindEntry(const std::string& archiveName, const std::string& name,
                                              const SArchive*& in) {
    SArchive* archive = FindArchive(archiveName);
    if (!archive || archive->failed) return nullptr;
    in = archive;
    const int encoding = ArchiveTableEncoding;
    const auto& keys = Keys(*archive, encoding);
    auto e = keys.find(CGameFileNames::Key(name, encoding));
    if (e != keys.end()) return &archive->entries[e->second];
    // A Shift_JIS game's archive packed from folders unpacked here may hold the UTF-8 form.
    if (encoding == kEncodingShiftJis) {
        const std::string utf8 = CGameFileNames::ToUtf8(name, encoding);
        if (utf8 == name) return nullptr;
        const auto& utf8Keys = Keys(*archive, kEncodingUtf8);
        e = utf8Keys.find(CGameFileNames::Key(utf8, kEncodingUtf8));
        if (e != utf8Keys.end()) return &archive->entries[e->second];
    }
    return nullptr;
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
    for (const std::string* candidate : {&prefix, &withExtension}) {
        const SArchive* found = FindArchive(*candidate);
        if (found && !found->failed) {
            archive = *candidate;
            return true;
        }
    }
    return false;
}

bool CPackFile::OpenEntry(const SArchive& archive, const SEntry& entry, const std::string& name) {
    // A container that no longer opens is a failure, not an entry that reads nothing.
    const int32_t start = entry.start, size = entry.size;  // the table may grow while the container opens
    const std::string container = archive.containers[entry.container];
    if (CFile::Open(container.c_str())) return true;
    m_entryStart = start;
    m_entrySize = size;
    m_name = name;
    Seek(0, SEEK_SET);
    return false;
}

bool CPackFile::Open(const char* name) {
    if (IsOpen()) Close();
    if (!name || !*name) return true;
    const std::string path = CGameFileNames::ToGame(name);

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
        const SArchive* in = nullptr;
        if (const SEntry* entry = FindEntry(RootPackName, path, in)) {
            if (!OpenEntry(*in, *entry, path)) return false;
        }
    }

    const std::vector<std::string> parts = CGameFileNames::Split(path, '\\');
    // First among the archives already loaded, then loading the candidates.
    for (bool load : {false, true}) {
        std::string prefix;
        for (size_t i = 0; i < parts.size(); ++i) {
            prefix += (i ? "\\" : "") + parts[i];
            std::string archive;
            if (!FindCandidate(prefix, load, archive)) continue;
            const SArchive* in = nullptr;
            if (const SEntry* entry = FindEntry(archive, JoinPathFrom(parts, i), in)) {
                if (!OpenEntry(*in, *entry, path)) return false;
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
        case SEEK_SET: target = start + offset; break;
        case SEEK_CUR: {
            const int raw = CFile::Tell();
            if (raw < 0) return -1;
            target = static_cast<int64_t>(raw) + offset;
            if (target < start || target > end) return -1;  // refused: the position stays
            break;
        }
        case SEEK_END: target = end + offset; break;
        default: return -1;
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
