#pragma once
// RIFF WAVE PCM read from the open file on demand.
#include <cstdint>
#include <memory>

#include "SOUND/ISound.h"

namespace kestrin {

class CWave : public ISound {
public:
    CWave() = default;
    ~CWave() override = default;

    bool Open(std::shared_ptr<CFile> file) override;
    int Read(void* buffer, uint32_t n) override;
    void Rewind() override;
    uint32_t GetSamplesPerSec() override { return m_samplesPerSec; }
    uint16_t GetBitsPerSample() override { return m_bitsPerSample; }
    uint16_t GetChannels() override { return m_channels; }
    uint32_t GetDataSize() override { return m_dataSize; }

private:
    // Finds the chunk id from the file's position on; true when it is not there.
    static bool FindChunk(CFile& file, uint64_t fileSize, const char* id, uint32_t& size);

    std::shared_ptr<CFile> m_file;
    bool m_loaded = false;
    // The "_b" partner failed to load: the data stays at its end until Rewind.
    bool m_ended = false;
    uint32_t m_samplesPerSec = 0;
    uint16_t m_bitsPerSample = 0;
    uint16_t m_channels = 0;
    uint32_t m_dataSize = 0;
    uint32_t m_dataStart = 0;
    uint32_t m_readPosition = 0;
};

}  // namespace kestrin
