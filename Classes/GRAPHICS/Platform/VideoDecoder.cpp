#include "GRAPHICS/IVideoDecoder.h"
#include "GRAPHICS/Platform/FfmpegVideoDecoder.h"

namespace kestrin {

namespace {

VideoDecoderMaker& Maker() {
    static VideoDecoderMaker maker;
    return maker;
}

}  // namespace

void SetVideoDecoderMaker(VideoDecoderMaker maker) { Maker() = std::move(maker); }

std::unique_ptr<IVideoDecoder> CreateVideoDecoder() {
    if (Maker()) return Maker()();
    return std::make_unique<FfmpegVideoDecoder>();
}

}  // namespace kestrin
