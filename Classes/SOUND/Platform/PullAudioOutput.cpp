#include "SOUND/Platform/PullAudioOutput.h"

#include "SOUND/AudioMixer.h"

namespace kestrin {

bool PullAudioOutput::Open(AudioMixer& mixer, std::string&) {
    m_mixer = &mixer;
    m_rendered = 0;
    return false;
}

uint32_t PullAudioOutput::GetRate() const { return m_mixer ? m_mixer->GetRate() : 0; }

void PullAudioOutput::Render(size_t frames, std::vector<int16_t>* out) {
    if (!m_mixer) return;
    m_scratch.resize(frames * 2);
    m_mixer->Render(m_scratch.data(), frames);
    if (out) out->insert(out->end(), m_scratch.begin(), m_scratch.end());
    m_rendered += frames;
}

void PullAudioOutput::RenderTo(uint64_t frameCount, std::vector<int16_t>* out) {
    if (frameCount > m_rendered) Render(static_cast<size_t>(frameCount - m_rendered), out);
}

void PullAudioOutput::RenderToVideoFrame(uint64_t n, std::vector<int16_t>* out) { RenderTo(n * GetRate() / 60, out); }

}  // namespace kestrin
