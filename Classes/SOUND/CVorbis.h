#pragma once
// Ogg Vorbis decoded to signed 16-bit PCM from a copy of the whole file held in memory,
// so that playback never touches the file layer.
#include <vorbis/vorbisfile.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "SOUND/ISound.h"

namespace kestrin {

class CVorbis : public ISound {
public:
    CVorbis();
    ~CVorbis() override;
    CVorbis(const CVorbis&) = delete;
    CVorbis& operator=(const CVorbis&) = delete;

    bool Open(std::shared_ptr<CFile> file) override;
    int Read(void* buffer, uint32_t n) override;
    void Rewind() override;
    uint32_t GetSamplesPerSec() override { return m_samplesPerSec; }
    uint16_t GetBitsPerSample() override { return 16; }
    uint16_t GetChannels() override { return m_channels; }
    uint32_t GetDataSize() override { return m_totalBytes; }

private:
    static size_t ReadCallback(void* destination, size_t size, size_t count, void* source);
    static int SeekCallback(void* source, ogg_int64_t offset, int origin);
    static int CloseCallback(void* source);
    static long TellCallback(void* source);

    // Opens the decoder on the buffer from its start; true on failure.
    bool OpenDecoder();
    void CloseDecoder();
    void FreeBuffer();
    // Decodes into buffer until n bytes, the end of the stream or an error; bytes decoded.
    uint32_t Decode(uint8_t* buffer, uint32_t n);

    std::shared_ptr<CFile> m_file;
    std::vector<uint8_t> m_buffer;
    bool m_hasBuffer = false;
    size_t m_cursor = 0;
    uint32_t m_samplesPerSec = 0;
    uint16_t m_channels = 0;
    uint32_t m_totalBytes = 0;
    OggVorbis_File m_decoder;
    bool m_decoderOpen = false;
    // The "_b" partner failed to load: the stream stays at its end until Rewind.
    bool m_ended = false;
};

}  // namespace kestrin
