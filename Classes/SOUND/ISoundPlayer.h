#pragma once
// Plays one source: whole-buffer mode (the whole PCM in one buffer) or streaming mode (two
// halves refilled from the source while it plays).
#include "SOUND/ISound.h"

namespace kestrin {

class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    // The source is not owned. True on failure.
    virtual bool Open(ISound* source, bool wholeBuffer) = 0;
    virtual void Release() = 0;
    // Once per frame: streaming refills.
    virtual void Update() = 0;
    // True on failure.
    virtual bool Play(bool loop) = 0;
    virtual void Stop() = 0;
    // 0 stopped, 1 playing once, 2 playing looped.
    virtual int IsPlaying() = 0;
    // Per mille.
    virtual int GetVolume() = 0;
    virtual void SetVolume(int perMille) = 0;
};

}  // namespace kestrin
