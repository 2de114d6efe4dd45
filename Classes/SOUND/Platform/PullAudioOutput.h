#pragma once
// Test double: renders only when asked, so that a virtual clock decides how much sound has
// played. Rendering to the end of video frame n (at 60 frames a second) means rendering up
// to sample n x rate / 60.
#include <cstdint>
#include <vector>

#include "SOUND/Platform/IAudioOutput.h"

namespace kestrin {

class PullAudioOutput : public IAudioOutput {
public:
    bool Open(AudioMixer& mixer, std::string& error) override;
    void Close() override { m_mixer = nullptr; }

    // Renders that many frames; appends the interleaved stereo samples to out when given.
    void Render(size_t frames, std::vector<int16_t>* out = nullptr);
    // Renders until frameCount frames have been rendered in all.
    void RenderTo(uint64_t frameCount, std::vector<int16_t>* out = nullptr);
    // Renders until the end of video frame n at 60 frames a second.
    void RenderToVideoFrame(uint64_t n, std::vector<int16_t>* out = nullptr);
    uint64_t GetRenderedFrames() const { return m_rendered; }
    uint32_t GetRate() const;

private:
    AudioMixer* m_mixer = nullptr;
    uint64_t m_rendered = 0;
    std::vector<int16_t> m_scratch;
};

}  // namespace kestrin
