#include "GRAPHICS/Platform/FfmpegLibrary.h"

#include <dlfcn.h>

extern "C" {
#include <libavcodec/version.h>
#include <libavformat/version.h>
#include <libavutil/version.h>
#include <libswresample/version.h>
#include <libswscale/version.h>
}

namespace kestrin {

namespace {

struct Loaded {
    FfmpegLibrary functions;
    std::string error;
    bool ok = false;
};

// The shared object of the major version whose headers the engine was built with: another
// major version has another binary interface.
std::string SharedObject(const char* library, int major) {
    return "lib" + std::string(library) + ".so." + std::to_string(major);
}

Loaded Load() {
    Loaded result;
    struct Library {
        const char* name;
        int major;
        void* handle;
    };
    Library avutil{"avutil", LIBAVUTIL_VERSION_MAJOR, nullptr};
    Library swresample{"swresample", LIBSWRESAMPLE_VERSION_MAJOR, nullptr};
    Library swscale{"swscale", LIBSWSCALE_VERSION_MAJOR, nullptr};
    Library avcodec{"avcodec", LIBAVCODEC_VERSION_MAJOR, nullptr};
    Library avformat{"avformat", LIBAVFORMAT_VERSION_MAJOR, nullptr};
    for (Library* library : {&avutil, &swresample, &swscale, &avcodec, &avformat}) {
        const std::string file = SharedObject(library->name, library->major);
        library->handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library->handle) {
            const char* why = dlerror();
            result.error = "FFmpeg cannot be loaded: " + (why ? std::string(why) : file);
            return result;
        }
    }
#define KESTRIN_FFMPEG_LOOKUP(lib, fn)                                                                  \
    result.functions.fn = reinterpret_cast<decltype(&::fn)>(dlsym(lib.handle, #fn));                    \
    if (!result.functions.fn) {                                                                         \
        result.error = "FFmpeg cannot be loaded: " + SharedObject(lib.name, lib.major) + " lacks " #fn; \
        return result;                                                                                  \
    }
    KESTRIN_FFMPEG_FUNCTIONS(KESTRIN_FFMPEG_LOOKUP)
#undef KESTRIN_FFMPEG_LOOKUP
    // FFmpeg's own notes would go to stderr for every damaged packet; failures reach our log.
    result.functions.av_log_set_level(AV_LOG_FATAL);
    result.ok = true;
    return result;
}

}  // namespace

const FfmpegLibrary* LoadFfmpeg(std::string& error) {
    static const Loaded loaded = Load();
    if (!loaded.ok) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.functions;
}

}  // namespace kestrin
