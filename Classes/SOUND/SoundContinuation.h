#pragma once
// The intro-and-loop pair: a source whose file name (without extension) ends in "_a"
// continues with the file of the same name ending in "_b".
#include <memory>
#include <string>

#include "CORE/CFile.h"
#include "SOUND/ISound.h"

namespace kestrin {

// "bgm\op_a.ogg" -> "bgm\op_b.ogg"; empty when the name has no partner ("_A" has none).
std::string LoopPartnerName(const std::string& name);

enum class EContinuation {
    kNone,     // no partner, or it does not open as a file: try again at the next read
    kPartner,  // the source now reads the partner from its start
    kFailed,   // the partner opened but is no sound of this kind: the source is back on
               // current, at its start
};

// Opens source on the partner of current through a fresh file of the same kind.
EContinuation ContinueWithPartner(ISound& source, const std::shared_ptr<CFile>& current);

}  // namespace kestrin
