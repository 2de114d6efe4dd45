#pragma once
// A source of raw PCM bytes opened on a file: interleaved, little-endian, in the sample
// width the format queries report. A source whose file name ends in "_a" continues
// seamlessly with its "_b" partner when its data runs out.
#include <cstdint>
#include <memory>

#include "CORE/CFile.h"

namespace kestrin {

class ISound {
public:
    virtual ~ISound() = default;
    // True on failure.
    virtual bool Open(std::shared_ptr<CFile> file) = 0;
    // Bytes written at buffer (0 to n); 0 at the end of the data; -1 when the source
    // holds no data at all.
    virtual int Read(void* buffer, uint32_t n) = 0;
    // Back to the first PCM byte of the current file.
    virtual void Rewind() = 0;
    virtual uint32_t GetSamplesPerSec() = 0;
    virtual uint16_t GetBitsPerSample() = 0;
    virtual uint16_t GetChannels() = 0;
    // PCM bytes of the current file.
    virtual uint32_t GetDataSize() = 0;
};

}  // namespace kestrin
