// WAVE sources (and the player over them) from arbitrary bytes; see sound_fuzz_common.h.
#include "sound_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return sound_fuzz::Run(data, size, "wav"); }
