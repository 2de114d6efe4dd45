// Ogg Vorbis sources (and the player over them) from arbitrary bytes; see sound_fuzz_common.h.
#include "sound_fuzz_common.h"

// A chained stream whose later link breaks off during the open leaks inside the libraries:
// libvorbisfile drops the headers of the links it had read (their vorbis_info and
// vorbis_comment, filled by libvorbis) and a serial-number list of its own; the failed
// open itself is cleared. The libraries are built without frame pointers, so a report's
// stack ends at the first frame inside them, often a static function known only by its
// offset: the two modules are named, nothing of ours. The seed "chain_cut" is such a stream.
extern "C" const char* __lsan_default_suppressions() { return "leak:libvorbisfile.so.3\nleak:libvorbis.so.0\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return sound_fuzz::Run(data, size, "ogg"); }
