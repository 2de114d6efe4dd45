#pragma once
// The interpreter's save files. Every file is "BOW", a type byte, the int32 version 1000
// and one serialization archive up to the end of the file:
//   'G' "saveg.dat"   member 1 the executed blocks per script file, member 2 the "g."
//                     variables (name -> value text);
//   'X' "system.dat"  member 1 the "s." variables;
//   'S' game saves    the whole game state (restored with the save tags).
// Names are relative to the save folder ("SaveDataPath"). Files are replaced whole (see
// CORE/FileReplace.h), and a file is applied only when all of it reads correctly.
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "CORE/ISerializerExtension.h"
#include "SCRIPT/CScriptBlock.h"
#include "TEXT/CFontProperty.h"

namespace kestrin {

class CMainScreen;
class CMainScript;
class CSerializer;

class CSaveData {
public:
    // kTypeAny: whatever type the file holds (the "load" tag).
    enum : char { kTypeAny = 0, kTypeGlobal = 'G', kTypeSystem = 'X', kTypeGame = 'S' };
    static constexpr int32_t kVersion = 1000;
    // The largest save file read (a larger one is not a save of ours).
    static constexpr int64_t kMaxFileSize = 256 * 1024 * 1024;

    CSaveData(CMainScreen* screen, CMainScript* owner);
    ~CSaveData();
    CSaveData(const CSaveData&) = delete;
    CSaveData& operator=(const CSaveData&) = delete;

    // Writes one save file: header, then the archive's whole image. True on failure,
    // which is logged; the old file is then untouched.
    bool WriteFile(const std::string& name, CSerializer& archive, char type);
    // Reads one save file of the expected type and applies it. True on failure: the file
    // is missing, unreadable, of another type or version, or damaged; nothing is applied.
    bool Load(const std::string& name, char expectedType);
    // A game save of the whole state. True on failure (logged; the old file is untouched).
    bool Save(const std::string& name, bool withBacklog);
    // Puts the whole game state into the archive.
    void SaveState(CSerializer& archive, bool withBacklog);
    // Decodes and checks every member first; only a save that is whole boots the
    // interpreter and replays the saved screen. True (logged) on a damaged save, which
    // leaves the running game as it was.
    bool RestoreState(CSerializer& archive, const std::string& name);
    // True when the name stays inside the save folder: relative, no drive, no "..".
    static bool IsSaveName(const std::string& name);

    // A game save's contents, decoded (CSaveDataMembers.h).
    struct SGameState;

    // Writes and reads text tween presets (CTextRenderer::CTweenInfo) for the archive.
    class CTweenInfoSerializer : public ISerializerExtension {
    public:
        bool Save(CSerializer* nested, std::any value) override;
        bool Load(CSerializer* nested, std::any value) override;
    };

    // Writes "saveg.dat" when forced or when a "g." variable changed, and "system.dat"
    // when an "s." variable changed. A write that failed is tried again at the next call.
    void SaveGlobal(bool force);

    // Forgets what the game before recorded (boot): the pages, the layer record, the
    // looping effects and the music.
    void ClearRecords() { m_records = SRecords(); }

    // What a game save needs to show each message layer's current page again, per message
    // layer name: the text and text-tag blocks of the page, the font stack in force when the
    // page began, and the "prohibit" block of the page (the pending one was given during the
    // page and becomes the page's at its end).
    using PageRecords = std::map<std::string, std::vector<CScriptBlock>>;
    using FontStacks = std::map<std::string, std::deque<CFontProperty>>;
    using ProhibitBlocks = std::map<std::string, CScriptBlock>;
    PageRecords& GetPageRecords() { return m_records.pageRecords; }
    FontStacks& GetFontStacks() { return m_records.fontStacks; }
    ProhibitBlocks& GetPageProhibitBlocks() { return m_records.pageProhibitBlocks; }
    ProhibitBlocks& GetPendingProhibitBlocks() { return m_records.pendingProhibitBlocks; }

    // The layer record: per layer id, the blocks that rebuild that layer when a saved game
    // is loaded (CSaveDataLayerRecord.cpp).
    using LayerRecord = std::map<std::string, std::vector<CScriptBlock>>;
    LayerRecord& GetLayerRecord() { return m_records.layerRecord; }
    // Merges block into the first block of its tag name in the id's list (every attribute
    // overwritten or added); without one, appends it when append is true.
    void RecordLayerTween(const std::string& id, const CScriptBlock& block, bool append);
    // Erases the first block named tagName from the id's list, every one with all.
    void RemoveLayerTween(const std::string& id, const std::string& tagName, bool all);
    // Runs every list, in id order, through the interpreter with replay set.
    void ReplayLayerRecord();
    // The record as one member of a game save's archive (a loaded record replaces ours).
    void SaveLayerRecord(CSerializer* archive, unsigned key);
    void LoadLayerRecord(CSerializer* archive, unsigned key);

    // The sound records (CSaveDataSoundRecord.cpp): per effect channel the block that
    // started a looping sound there, and the block of the background music; a loaded game
    // runs them again with replay set, so those sounds start again from their beginning.
    using SoundRecord = std::map<std::string, CScriptBlock>;
    SoundRecord& GetSoundRecord() { return m_records.soundRecord; }
    bool IsMusicRecorded() const { return m_records.musicRecorded; }
    const CScriptBlock& GetMusicBlock() const { return m_records.musicBlock; }
    void RecordMusic(const CScriptBlock& block);
    void ClearMusicRecord();
    // The recorded music block's "gain" becomes gain; the flag stays as it is.
    void SetMusicGain(const std::string& gain) { m_records.musicBlock.SetAttribute("gain", gain); }
    // The music block (when recorded), then every looping effect in channel order.
    void ReplaySoundRecord();
    // As members of a game save's archive: the effects under effectsKey, the flag under
    // flagKey and the music block under blockKey (only when the flag is set).
    void SaveSoundRecord(CSerializer* archive, unsigned effectsKey, unsigned flagKey, unsigned blockKey);
    void LoadSoundRecord(CSerializer* archive, unsigned effectsKey, unsigned flagKey, unsigned blockKey);

    // Everything recorded above, as a game save holds it (its member ids in comments).
    struct SRecords {
        PageRecords pageRecords;
        FontStacks fontStacks;
        ProhibitBlocks pageProhibitBlocks;
        ProhibitBlocks pendingProhibitBlocks;
        LayerRecord layerRecord;
        SoundRecord soundRecord;
        bool musicRecorded = false;
        CScriptBlock musicBlock;  // written only while music is recorded
    };

    // The native path of a save name.
    static std::string GetSavePath(const std::string& name);

private:
    bool ApplyGlobal(CSerializer& archive);
    bool ApplySystem(CSerializer& archive);
    // Fills state from the archive; true (logged) when any member is damaged.
    bool DecodeState(CSerializer& archive, const std::string& name, SGameState& state);
    void ApplyState(SGameState& state);

    CMainScreen* m_screen;
    CMainScript* m_owner;
    int32_t m_loadedVersion = 0;
    bool m_globalPending = false;
    bool m_systemPending = false;
    SRecords m_records;
};

}  // namespace kestrin
