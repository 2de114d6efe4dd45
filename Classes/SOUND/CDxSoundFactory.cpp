#include "SOUND/CDxSoundFactory.h"

#include "SOUND/CDxSound.h"

namespace kestrin {

ISoundPlayer* CDxSoundFactory::Create() { return new CDxSound(m_window); }

}  // namespace kestrin
