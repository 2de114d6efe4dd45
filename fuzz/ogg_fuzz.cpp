// Ogg Vorbis sources (and the player over them) from arbitrary bytes; see sound_fuzz_common.h.
#include "sound_fuzz_common.h"

// libvorbisfile loses a serial-number list of a few bytes inside ov_open_callbacks when a
// chained stream breaks off during its scan (the failed open itself is cleared); that is
// the library's, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libvorbisfile.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return sound_fuzz::Run(data, size, "ogg"); }
