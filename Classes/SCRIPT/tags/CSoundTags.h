#pragma once
// The sound tags and what they play on: the music and effects managers over one set of
// loaders and one player factory, the current music with the one a cross-fade fades out,
// the named effect channels and the volume fades of all of them, and their per-frame step
// (music refill, master volumes, channel gains).
//
// Music: "splay" and "sfadein" start a piece, "sfadeout" and "sstop" end it, "sxfade"
// cross-fades to a new piece and "sfade" changes the playing piece's volume. Effects and
// voices: "seplay" and "sefadein" start a sound on a channel (cutting off what it played),
// "sefadeout" and "sestop" end it, "voice" is "seplay" whose block also goes to the message
// page, "/voice" only goes to the page. None of them waits. The save data's records follow
// them so that a loaded game restarts the music and the looping effects.
//
// Everything else of the interpreter is reached through ISoundTagHost.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "SCRIPT/CScriptBlock.h"

namespace kestrin {

class CFileFactory;
class CSoundLoaders;
class CSoundManager;
class ISoundPlayerFactory;
class ISoundTagHost;

class CSoundTags {
public:
    // files opens the sound files, players makes the players; both are kept until release.
    // The host outlives the family.
    CSoundTags(ISoundTagHost& host, std::shared_ptr<CFileFactory> files, std::shared_ptr<ISoundPlayerFactory> players);
    // The fades stop and the channels are forgotten, then the managers go (their sounds
    // stop), then the player factory, the loaders and the files they were made with.
    ~CSoundTags();
    CSoundTags(const CSoundTags&) = delete;
    CSoundTags& operator=(const CSoundTags&) = delete;

    // The handlers, in the interpreter's handler form (false: the script goes on).
    bool TagSplay(CScriptBlock block, bool replay);     // "splay" and "sfadein"
    bool TagSfadeout(CScriptBlock block, bool replay);  // "sfadeout" and "sstop"
    bool TagSxfade(CScriptBlock block, bool replay);
    bool TagSfade(CScriptBlock block, bool replay);
    bool TagSeplay(CScriptBlock block, bool replay);     // "seplay" and "sefadein"
    bool TagSefadeout(CScriptBlock block, bool replay);  // "sefadeout" and "sestop"
    bool TagVoice(CScriptBlock block, bool replay);
    bool TagVoiceEnd(CScriptBlock block, bool replay);

    // Every sound stops: the managers are replaced, their fades stopped, the handles forgotten.
    void Reset();
    // Once a frame: the music's refill (effects play whole buffers).
    void UpdateStreams();
    // Once a frame: the master volumes from the variables, the channel gains of channels
    // without a running fade; channels whose sound ended are forgotten.
    void UpdateVolumes();
    bool IsChannelPlaying(const std::string& channel) const;

    // The managers (never null while the family lives), the current music's handle and the
    // effect channels (channel id -> handle).
    CSoundManager& GetMusicManager() { return *m_bgmManager; }
    CSoundManager& GetEffectsManager() { return *m_seManager; }
    uint32_t GetMusicHandle() const { return m_musicHandle; }
    const std::map<std::string, uint32_t>& GetChannels() const { return m_seChannels; }

private:
    // Stops the effect playing on that channel and forgets the channel.
    void StopChannel(const std::string& channel);
    // A registered volume fade of a sound of manager; onEnd runs when it ends by itself.
    static int32_t StartFade(const std::shared_ptr<CSoundManager>& manager, uint32_t handle, int from, int to,
                             int32_t time, int32_t ease, std::function<void()> onEnd);
    void TraceAt(int level, const CScriptBlock& block, const char* format, ...) __attribute__((format(printf, 4, 5)));
    void TraceSoundFile(const CScriptBlock& block);
    void MakeManagers();

    ISoundTagHost& m_host;
    // Fades end through callbacks of the tween registry, which outlives the family: they hold
    // this token weakly.
    std::shared_ptr<CSoundTags*> m_self = std::make_shared<CSoundTags*>(this);
    std::shared_ptr<CFileFactory> m_soundFiles;
    std::shared_ptr<CSoundLoaders> m_soundLoaders;
    std::shared_ptr<ISoundPlayerFactory> m_soundPlayers;
    std::shared_ptr<CSoundManager> m_bgmManager;
    std::shared_ptr<CSoundManager> m_seManager;
    // The current music, the one a cross-fade fades out, and their fade tweens.
    uint32_t m_musicHandle = 0;
    uint32_t m_previousMusicHandle = 0;
    int32_t m_musicFade = 0;
    int32_t m_crossFade = 0;
    std::map<std::string, uint32_t> m_seChannels;
    std::map<std::string, int32_t> m_seFades;
};

}  // namespace kestrin
