#include "GRAPHICS/Platform/FfmpegInput.h"

namespace kestrin {

std::string FfmpegErrorText(const FfmpegLibrary* av, const std::string& what, int code) {
    if (code >= 0 || !av) return what;
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av->av_strerror(code, text, sizeof text);
    return what + " (" + text + ")";
}

std::string OpenFfmpegInput(const FfmpegLibrary& av, const std::string& path, AVMediaType type, int threads,
                            AVFormatContext*& format, AVCodecContext*& codec, int& stream) {
    format = nullptr;
    codec = nullptr;
    stream = -1;
    int r = av.avformat_open_input(&format, path.c_str(), nullptr, nullptr);
    if (r < 0) return FfmpegErrorText(&av, "cannot open " + path, r);
    auto fail = [&](const std::string& what, int code) {
        av.avcodec_free_context(&codec);
        av.avformat_close_input(&format);
        stream = -1;
        return FfmpegErrorText(&av, what, code);
    };
    r = av.avformat_find_stream_info(format, nullptr);
    if (r < 0) return fail("cannot read the streams of " + path, r);
    const AVCodec* decoder = nullptr;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* candidate = format->streams[i];
        // A cover picture of a sound file is no movie.
        const bool cover = (candidate->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
        if (stream < 0 && candidate->codecpar->codec_type == type && !(type == AVMEDIA_TYPE_VIDEO && cover)) {
            decoder = av.avcodec_find_decoder(candidate->codecpar->codec_id);
            if (decoder) {
                stream = static_cast<int>(i);
                continue;
            }
        }
        candidate->discard = AVDISCARD_ALL;
    }
    const char* kind = type == AVMEDIA_TYPE_AUDIO ? "sound" : "video stream";
    if (stream < 0) return fail(path + " has no " + kind + " that can be decoded", 0);
    codec = av.avcodec_alloc_context3(decoder);
    if (!codec || av.avcodec_parameters_to_context(codec, format->streams[stream]->codecpar) < 0)
        return fail(
            "cannot set up the " + std::string(type == AVMEDIA_TYPE_AUDIO ? "sound " : "") + "decoder of " + path, 0);
    codec->thread_count = threads;
    r = av.avcodec_open2(codec, decoder, nullptr);
    if (r < 0)
        return fail("cannot open the " + std::string(type == AVMEDIA_TYPE_AUDIO ? "sound " : "") + "decoder of " + path,
                    r);
    return std::string();
}

int SendNextPacket(const FfmpegLibrary& av, AVFormatContext* format, AVCodecContext* codec, AVPacket* packet,
                   int stream, bool& flushing) {
    if (av.av_read_frame(format, packet) < 0) {
        flushing = true;
        av.avcodec_send_packet(codec, nullptr);
        return 0;
    }
    int sent = 0;
    if (packet->stream_index == stream) sent = av.avcodec_send_packet(codec, packet);
    av.av_packet_unref(packet);
    return sent;
}

}  // namespace kestrin
