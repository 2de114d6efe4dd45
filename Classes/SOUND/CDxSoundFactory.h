#pragma once
// Makes the players of the sound managers.
#include "CORE/Platform/IWindowSystem.h"
#include "SOUND/ISoundPlayerFactory.h"

namespace kestrin {

class CDxSoundFactory : public ISoundPlayerFactory {
public:
    explicit CDxSoundFactory(WindowHandle window) : m_window(window) {}
    ISoundPlayer* Create() override;

private:
    WindowHandle m_window;
};

}  // namespace kestrin
