#include "SCRIPT/CSaveData.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "CORE/CBinaryStream.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CGameFileNames.h"
#include "CORE/CLogWindow.h"
#include "CORE/CSerializer.h"
#include "CORE/FileReplace.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/IFileSystem.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/ScriptMessages.h"

namespace kestrin {

namespace {

const char kMagic[3] = {'B', 'O', 'W'};

// Strict readers over the archive's stream: save files are outside data, so every count
// and length is checked against the bytes that are left. True on failure.
bool ReadInt(CBinaryStream* stream, int32_t& value) {
    unsigned char bytes[4];
    if (stream->GetRemaining() < 4 || stream->Read(bytes, 4)) return true;
    value = static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                                 (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24));
    return false;
}

// A count of elements that take at least minimum bytes each.
bool ReadCount(CBinaryStream* stream, uint32_t minimum, int32_t& count) {
    if (ReadInt(stream, count) || count < 0) return true;
    return static_cast<uint64_t>(count) * minimum > stream->GetRemaining();
}

// As the archive reads strings: the stored bytes up to the first zero byte.
bool ReadString(CBinaryStream* stream, std::string& value) {
    int32_t length = 0;
    if (ReadInt(stream, length) || length < 0 || static_cast<uint32_t>(length) > stream->GetRemaining()) return true;
    std::string bytes(static_cast<size_t>(length), '\0');
    if (length > 0 && stream->Read(&bytes[0], static_cast<unsigned>(length))) return true;
    size_t zero = bytes.find('\0');
    if (zero != std::string::npos) bytes.resize(zero);
    value = std::move(bytes);
    return false;
}

bool HasPrefix(const std::string& name, char space) { return name.size() >= 2 && name[0] == space && name[1] == '.'; }

// A member holding name -> value strings; only names of the given space are kept.
bool ReadVariables(CSerializer& archive, unsigned key, char space,
                   std::vector<std::pair<std::string, std::string>>& out) {
    if (archive.FindMember(key, false)) return false;
    CBinaryStream* stream = archive.GetStream();
    int32_t count = 0;
    if (ReadCount(stream, 8, count)) return true;
    for (int32_t i = 0; i < count; ++i) {
        std::string name, value;
        if (ReadString(stream, name) || ReadString(stream, value)) return true;
        if (HasPrefix(name, space)) out.emplace_back(std::move(name), std::move(value));
    }
    return false;
}

// The archive's index (int32 n, then n pairs of key and offset) must be whole and point
// inside the image: a cut-off file would otherwise read as one without members.
bool CheckIndex(const unsigned char* image, size_t size) {
    if (size == 0) return false;
    auto read = [image](size_t at) {
        return static_cast<int32_t>(static_cast<uint32_t>(image[at]) | (static_cast<uint32_t>(image[at + 1]) << 8) |
                                    (static_cast<uint32_t>(image[at + 2]) << 16) |
                                    (static_cast<uint32_t>(image[at + 3]) << 24));
    };
    if (size < 4) return true;
    int32_t count = read(0);
    if (count < 0 || (size - 4) / 8 < static_cast<size_t>(count)) return true;
    size_t start = 4 + static_cast<size_t>(count) * 8;
    for (int32_t i = 0; i < count; ++i) {
        int32_t offset = read(4 + static_cast<size_t>(i) * 8 + 4);
        if (offset < 0 || static_cast<size_t>(offset) < start || static_cast<size_t>(offset) >= size) return true;
    }
    return false;
}

}  // namespace

CSaveData::CSaveData(CMainScreen* screen, CMainScript* owner) : m_screen(screen), m_owner(owner) {
    // One for the process: every interpreter's saves share the archive's registry.
    static const bool registered = [] {
        RegisterSerializerExtension(std::make_shared<CTweenInfoSerializer>());
        return true;
    }();
    (void)registered;
}

CSaveData::~CSaveData() = default;

std::string CSaveData::GetSavePath(const std::string& name) {
    std::string folder = CDynamicVariables::GetInstance()->GetString("SaveDataPath");
    if (folder.empty()) return name;
    if (folder.back() != '/') folder += '/';
    return folder + name;
}

bool CSaveData::WriteFile(const std::string& name, CSerializer& archive, char type) {
    if (!IsSaveName(name)) {
        m_owner->LogMessage(scriptmsg::kSaveOutsideFolder, name.c_str());
        return true;
    }
    std::string bytes(kMagic, sizeof kMagic);
    bytes += type;
    uint32_t version = static_cast<uint32_t>(kVersion);
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((version >> shift) & 0xFF);
    if (const CBinaryStream::CMemoryInfo* image = archive.GetMemory()) {
        if (image->data && image->size > 0) bytes.append(reinterpret_cast<const char*>(image->data), image->size);
    }
    std::string error;
    // Inside the save folder nothing planted (a link to elsewhere) is followed.
    if (ReplaceFileContents(CDynamicVariables::GetInstance()->GetString("SaveDataPath"), name, bytes.data(),
                            bytes.size(), &error)) {
        m_owner->LogMessage(scriptmsg::kSaveNotWritten, name.c_str(), error.c_str());
        return true;
    }
    return false;
}

bool CSaveData::Load(const std::string& name, char expectedType) {
    if (!IsSaveName(name)) {
        m_owner->LogMessage(scriptmsg::kLoadOutsideFolder, name.c_str());
        return true;
    }
    std::string path = GetSavePath(name);
    std::string native;
    if (ResolveGamePath(path, native)) native = CGameFileNames::ToNative(path);
    std::FILE* file = GetFileSystem()->OpenRead(native);
    if (!file) return true;

    std::vector<unsigned char> data;
    bool readFailed = std::fseek(file, 0, SEEK_END) != 0;
    long size = readFailed ? -1 : std::ftell(file);
    if (size < 0 || size > kMaxFileSize || std::fseek(file, 0, SEEK_SET) != 0) {
        readFailed = true;
    } else {
        data.resize(static_cast<size_t>(size));
        readFailed = size > 0 && std::fread(data.data(), 1, data.size(), file) != data.size();
    }
    std::fclose(file);
    if (readFailed) {
        m_owner->LogMessage(scriptmsg::kSaveNotRead, name.c_str());
        return true;
    }
    if (data.size() < 8) {
        m_owner->LogMessage(scriptmsg::kSaveTooShort, name.c_str());
        return true;
    }
    char type = kTypeGame;
    if (data[0] == 'B' && data[1] == 'O' && data[2] == 'W') {
        m_loadedVersion =
            static_cast<int32_t>(static_cast<uint32_t>(data[4]) | (static_cast<uint32_t>(data[5]) << 8) |
                                 (static_cast<uint32_t>(data[6]) << 16) | (static_cast<uint32_t>(data[7]) << 24));
        type = static_cast<char>(data[3]);
    } else {
        // A headerless image: never of a version that loads.
        if (data[1] || data[2] || data[3] || data[5] || data[6] || data[7]) {
            m_owner->LogMessage(scriptmsg::kNotSaveData, name.c_str());
            return true;
        }
        m_loadedVersion = 0;
    }
    if (m_loadedVersion / 100 != kVersion / 100) {
        m_owner->LogMessage(scriptmsg::kSaveVersion, name.c_str(), static_cast<int>(m_loadedVersion));
        return true;
    }
    // A file of another type is not obeyed: a game save named "system.dat" must not
    // restart the interpreter from its boot.
    if (expectedType != kTypeAny && type != expectedType) {
        m_owner->LogMessage(scriptmsg::kSaveKind, name.c_str(), type >= 0x20 && type < 0x7F ? type : '?');
        return true;
    }

    if (CheckIndex(data.data() + 8, data.size() - 8)) {
        m_owner->LogMessage(scriptmsg::kSaveDamaged, name.c_str());
        return true;
    }
    CSerializer archive;
    archive.Attach(data.data() + 8, static_cast<unsigned>(data.size() - 8));
    bool failed = true;
    if (type == kTypeGlobal) {
        failed = ApplyGlobal(archive);
    } else if (type == kTypeSystem) {
        failed = ApplySystem(archive);
    } else if (type == kTypeGame) {
        // Damage is reported by the restore itself, member by member.
        return RestoreState(archive, name);
    } else {
        // A type of a later build: nothing of it is applied.
        return false;
    }
    if (failed) m_owner->LogMessage(scriptmsg::kSaveDamaged, name.c_str());
    return failed;
}

bool CSaveData::ApplyGlobal(CSerializer& archive) {
    std::map<std::string, std::set<int32_t>> readBlocks;
    if (!archive.FindMember(1, false)) {
        CBinaryStream* stream = archive.GetStream();
        int32_t files = 0;
        if (ReadCount(stream, 8, files)) return true;
        for (int32_t i = 0; i < files; ++i) {
            std::string file;
            int32_t count = 0;
            if (ReadString(stream, file) || ReadCount(stream, 4, count)) return true;
            std::set<int32_t>& indexes = readBlocks[file];
            for (int32_t k = 0; k < count; ++k) {
                int32_t index = 0;
                if (ReadInt(stream, index)) return true;
                // No block has a negative index: such an entry records nothing.
                if (index >= 0) indexes.insert(index);
            }
        }
    }
    std::vector<std::pair<std::string, std::string>> variables;
    if (ReadVariables(archive, 2, 'g', variables)) return true;

    m_owner->GetReadBlocks() = std::move(readBlocks);
    COruVariables& store = m_owner->GetVariables();
    for (const auto& variable : variables) store.SetString(variable.first, variable.second);
    return false;
}

bool CSaveData::ApplySystem(CSerializer& archive) {
    std::vector<std::pair<std::string, std::string>> variables;
    if (ReadVariables(archive, 1, 's', variables)) return true;
    COruVariables& store = m_owner->GetVariables();
    for (const auto& variable : variables) store.SetString(variable.first, variable.second);
    return false;
}

void CSaveData::SaveGlobal(bool force) {
    COruVariables& store = m_owner->GetVariables();
    bool gameChanged = store.TakeGameChanged();
    if (force || gameChanged || m_globalPending) {
        CSerializer archive;
        archive.SaveStringIntSetMap(m_owner->GetReadBlocks(), 1);
        std::unordered_map<std::string, std::string> globals(11);
        for (const auto& variable : store.GetTable()) {
            if (HasPrefix(variable.first, 'g')) globals.emplace(variable.first, variable.second.GetString());
        }
        archive.SaveStringHashMap(globals, 2);
        m_globalPending = WriteFile("saveg.dat", archive, kTypeGlobal);
    }
    bool systemChanged = store.TakeSystemChanged();
    if (systemChanged || m_systemPending) {
        CSerializer archive;
        std::unordered_map<std::string, std::string> system(11);
        for (const auto& variable : store.GetTable()) {
            if (HasPrefix(variable.first, 's')) system.emplace(variable.first, variable.second.GetString());
        }
        archive.SaveStringHashMap(system, 1);
        m_systemPending = WriteFile("system.dat", archive, kTypeSystem);
    }
}

}  // namespace kestrin
