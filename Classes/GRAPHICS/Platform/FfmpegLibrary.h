#pragma once
// FFmpeg is opened with the first movie rather than linked: its libraries bring over a hundred
// shared objects of their own (codecs, TLS, SVG, XML...), which would cost every start-up
// milliseconds of loading and some 15 MiB of resident pages in games that never play a movie.
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace kestrin {

// Every FFmpeg function the movie player calls, with the library that holds it.
#define KESTRIN_FFMPEG_FUNCTIONS(X)           \
    X(avutil, av_channel_layout_copy)         \
    X(avutil, av_channel_layout_default)      \
    X(avutil, av_channel_layout_uninit)       \
    X(avutil, av_frame_alloc)                 \
    X(avutil, av_frame_free)                  \
    X(avutil, av_frame_unref)                 \
    X(avutil, av_log_set_level)               \
    X(avutil, av_strerror)                    \
    X(avcodec, av_packet_alloc)               \
    X(avcodec, av_packet_free)                \
    X(avcodec, av_packet_unref)               \
    X(avcodec, avcodec_alloc_context3)        \
    X(avcodec, avcodec_find_decoder)          \
    X(avcodec, avcodec_free_context)          \
    X(avcodec, avcodec_open2)                 \
    X(avcodec, avcodec_parameters_to_context) \
    X(avcodec, avcodec_receive_frame)         \
    X(avcodec, avcodec_send_packet)           \
    X(avformat, av_read_frame)                \
    X(avformat, avformat_close_input)         \
    X(avformat, avformat_find_stream_info)    \
    X(avformat, avformat_open_input)          \
    X(swresample, swr_alloc_set_opts2)        \
    X(swresample, swr_convert)                \
    X(swresample, swr_free)                   \
    X(swresample, swr_get_out_samples)        \
    X(swresample, swr_init)                   \
    X(swscale, sws_freeContext)               \
    X(swscale, sws_getCachedContext)          \
    X(swscale, sws_getCoefficients)           \
    X(swscale, sws_getColorspaceDetails)      \
    X(swscale, sws_scale)                     \
    X(swscale, sws_setColorspaceDetails)

struct FfmpegLibrary {
#define KESTRIN_FFMPEG_POINTER(library, name) decltype(&::name) name = nullptr;
    KESTRIN_FFMPEG_FUNCTIONS(KESTRIN_FFMPEG_POINTER)
#undef KESTRIN_FFMPEG_POINTER
};

// The functions, loaded by the first call (any thread); null when FFmpeg's libraries of the
// version the engine was built with cannot be loaded, with why in error. Never unloaded.
const FfmpegLibrary* LoadFfmpeg(std::string& error);

}  // namespace kestrin
