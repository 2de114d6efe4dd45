#pragma once
// Opening one stream of a movie file for decoding: shared by the picture decoder and the
// movie's sound, which read the same file each on its own.
#include <string>

#include "GRAPHICS/Platform/FfmpegLibrary.h"

namespace kestrin {

// "what (FFmpeg's text for code)", or what alone when code is not an FFmpeg error (or FFmpeg
// is not loaded).
std::string FfmpegErrorText(const FfmpegLibrary* av, const std::string& what, int code);

// Opens path, picks its first decodable stream of the given type (cover pictures are no
// video) and opens a decoder for it with the given thread count (0: FFmpeg's choice); every
// other stream is discarded. On success format, codec and stream are set and the result is
// empty; on failure nothing stays open and the result says why.
std::string OpenFfmpegInput(const FfmpegLibrary& av, const std::string& path, AVMediaType type, int threads,
                            AVFormatContext*& format, AVCodecContext*& codec, int& stream);

// One step of feeding the decoder of stream from the file: the next packet is read and, when
// it belongs to stream, sent to codec. At the end of what can be read, the decoder is told to
// flush and flushing is set. The send's result (0 when nothing was sent).
int SendNextPacket(const FfmpegLibrary& av, AVFormatContext* format, AVCodecContext* codec, AVPacket* packet,
                   int stream, bool& flushing);

}  // namespace kestrin
