#pragma once
// What drives the mixer: a sound device, a silent stand-in paced by the wall clock, or a
// test output that renders only when asked.
#include <string>

namespace kestrin {

class AudioMixer;

class IAudioOutput {
public:
    virtual ~IAudioOutput() = default;
    // Starts pulling signed 16-bit stereo at the mixer's rate; true on failure (error says
    // why). The mixer must outlive Close.
    virtual bool Open(AudioMixer& mixer, std::string& error) = 0;
    // Stops pulling; safe to call twice.
    virtual void Close() = 0;
};

}  // namespace kestrin
