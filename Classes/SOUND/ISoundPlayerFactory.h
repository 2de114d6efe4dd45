#pragma once
#include "SOUND/ISoundPlayer.h"

namespace kestrin {

class ISoundPlayerFactory {
public:
    virtual ~ISoundPlayerFactory() = default;
    // A new player that the caller owns.
    virtual ISoundPlayer* Create() = 0;
};

}  // namespace kestrin
