#pragma once
// What the sound tags need of the interpreter that runs them, and nothing more: the variables
// they read volumes from, the skip state, the save data's sound records, the message page a
// voice goes to and the script diagnostics. The interpreter implements it; tests fake it.
#include <cstdarg>

namespace kestrin {

class COruVariables;
class CSaveData;
class CScriptBlock;

class ISoundTagHost {
public:
    virtual ~ISoundTagHost() = default;
    // The script variables: the master volumes "s.bgmvol" and "s.sevol" and the channel
    // gains "s.segain." + channel id. Lives as long as the host.
    virtual COruVariables& GetSoundVariables() = 0;
    // True while the script is skipping: an effect marked skippable is then left out.
    virtual bool IsSkippingSounds() const = 0;
    // The save data whose music record and looping-effect record the tags keep up to date.
    virtual CSaveData& GetSoundSaveData() = 0;
    // Adds the block to the current message page's record (a voice, which the backlog can
    // play again).
    virtual void RecordVoiceBlock(const CScriptBlock& block) = 0;
    // A diagnostic at the block's line of the running script, as the interpreter writes its
    // own: the format is engine text (UTF-8), the arguments are in the game's encoding.
    // Nothing is formatted while the trace would drop the level.
    virtual void TraceSoundTag(int level, const CScriptBlock& block, const char* format, va_list args) = 0;
};

}  // namespace kestrin
