#pragma once
// A file that is either a loose file or an entry of a ".pfs" pack archive. Open looks a
// name up as a loose file first, then in the root archive, then in archives named by the
// leading parts of the path (a\b\c.png: a, a.pfs, a\b, a\b.pfs, ...). An open entry reads,
// seeks and reports its size like a whole file through a window on its container.
//
// Archives: magic "pf0" (count, 268-byte records), "pf1" (serialized name -> offset and
// size), "pf2" and "pf3" (serialized name -> CPackedFile; "pf3" XORed with IndexKey),
// optionally inside an executable ("MZ": base at offset 28, else in the last 4 bytes),
// optionally continued in volumes "A.000" to "A.999". Indexes load once per process; an
// archive whose index cannot be read is refused from then on. Archive and entry names
// match without regard to letter case and with '/' or '\', read in the game's encoding
// (CGameFileNames).
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "CORE/CFile.h"
#include "CORE/ISerializable.h"

namespace kestrin {

class CPackFile : public CFile {
public:
    // The record of a "pf2" or "pf3" entry: where its bytes are.
    class CPackedFile : public ISerializable {
    public:
        CPackedFile() = default;
        CPackedFile(const std::string& containerName, int32_t entryStart, int32_t entrySize)
            : container(containerName), start(entryStart), size(entrySize) {}
        void Save(CSerializer* serializer) override;
        // A block too short for the whole record loads nothing and clears whole.
        void Load(CSerializer* serializer) override;

        std::string container;  // the archive or volume holding the bytes
        int32_t start = 0;
        int32_t size = 0;
        bool whole = true;  // false after a Load from a broken block
    };
    // One entry of a loaded archive.
    struct SEntry {
        std::string name;  // as stored
        int32_t start = 0;
        int32_t size = 0;
        uint32_t container = 0;  // index into SArchive::containers
    };
    // One archive as loaded.
    struct SArchive {
        std::string name;     // as passed to LoadArchive
        bool failed = false;  // its index could not be read: refused from then on
        // The files holding the entries' bytes: the archive itself, then its volumes. Entries
        // refer to them by index, so that tens of thousands of entries share one name.
        std::vector<std::string> containers;
        // In rising precedence: of two entries whose names match, the later one is used.
        std::vector<SEntry> entries;
        // Folded entry name -> index into entries, folded as Shift_JIS [0] and as UTF-8
        // [1]; each made on first use (a Shift_JIS game's names are also looked for in
        // their UTF-8 form).
        std::unordered_map<std::string, size_t> byKey[2];
        bool keyed[2] = {false, false};
    };

    CPackFile() = default;
    ~CPackFile() override;

    CFile* Clone(bool copyState) override;
    bool Open(const char* name) override;
    int Read(void* buffer, unsigned size) override;
    int Seek(int offset, int origin) override;
    int Tell() override;
    int GetSize() override;
    int Close() override;
    // The entry names of an archive in the table's order; true (out untouched) when the
    // archive cannot be loaded.
    virtual bool GetFileList(const std::string& archive, std::vector<std::string>& out);
    // Makes sure the archive's index is in the table; false on success, also when it was
    // loaded before; true when it cannot be read, then and on every later call. Without
    // isVolume its volumes are merged in.
    virtual bool LoadArchive(const char* name, bool isVolume);
    bool LoadArchive(const char* name) { return LoadArchive(name, false); }

    void CopyFrom(const CPackFile& other);
    static std::string JoinPathFrom(const std::vector<std::string>& parts, size_t position);
    // Empties the archive table (tests; archives are otherwise kept for the process).
    static void ClearArchives();

    // Folded archive name -> the archive. Keyed in ArchiveTableEncoding; FindArchive
    // keys it anew when the game's encoding was declared after archives were loaded.
    static std::unordered_map<std::string, SArchive> ArchiveTable;
    static int ArchiveTableEncoding;
    // The root archive; the same string as g_rootArchivePath, which start-up sets.
    static std::string& RootPackName;
    static const std::string PackExtension;
    // Shared with the packer, which writes "pf3" indexes with it.
    static constexpr unsigned char IndexKey[20] = {0x4B, 0x9E, 0x21, 0xD3, 0x57, 0x0C, 0xA8, 0x6F, 0x13, 0xE5,
                                                   0x7A, 0x32, 0xC1, 0x88, 0x5D, 0xF0, 0x26, 0x9B, 0x44, 0xB7};

protected:
    bool OpenEntry(const SArchive& archive, const SEntry& entry, const std::string& name);
    // The archive loaded under name (failed ones included), or null.
    static SArchive* FindArchive(const std::string& name);
    // Its byKey for names in the encoding, made on first use.
    static const std::unordered_map<std::string, size_t>& Keys(SArchive& archive, int encoding);
    // The entry named name in a loaded archive (and that archive), or null.
    static const SEntry* FindEntry(const std::string& archive, const std::string& name, const SArchive*& in);
    // Reads the index of the archive open on reader into archive.entries; true on failure.
    static bool ReadIndex(CFile& reader, SArchive& archive);
    // The numbers k of the volumes "A.%03d" that may exist beside the archive A.
    static std::vector<int> VolumeNumbers(const std::string& archive);
    // The archive to look rest up in for a path prefix: the prefix or prefix.pfs.
    bool FindCandidate(const std::string& prefix, bool load, std::string& archive);

    int32_t m_entryStart = 0;
    int32_t m_entrySize = 0;
};

}  // namespace kestrin
