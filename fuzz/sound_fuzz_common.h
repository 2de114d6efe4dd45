// Shared by the sound-source fuzz targets. The input's first two bytes (little-endian) give
// the length of the intro; the intro and the rest are stored in memory as "m_a.<ext>" and
// "m_b.<ext>". The intro is loaded by name through the loaders, read to its end (bounded) in
// reads of varying size, rewound and read again, then played in both modes through the pull
// output for a few frames.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFileFactory.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "SOUND/CDxSound.h"
#include "SOUND/CSoundLoaders.h"
#include "SOUND/CVorbisLoader.h"
#include "SOUND/CWaveLoader.h"
#include "SOUND/AudioSystem.h"
#include "SOUND/Platform/PullAudioOutput.h"

namespace sound_fuzz {

inline kestrin::PullAudioOutput& Output() {
    static kestrin::PullAudioOutput* output = [] {
        auto made = std::make_unique<kestrin::PullAudioOutput>();
        kestrin::PullAudioOutput* raw = made.get();
        kestrin::UseAudioOutput(std::move(made), 44100);
        return raw;
    }();
    return *output;
}

inline size_t ReadBounded(kestrin::ISound& sound, const uint8_t* sizes, size_t sizeCount, size_t limit) {
    std::vector<uint8_t> buffer(70000);
    size_t total = 0;
    for (size_t i = 0; total < limit; ++i) {
        const uint32_t ask = sizeCount ? 1u + sizes[i % sizeCount] * 271u : 4096u;
        const int got = sound.Read(buffer.data(), ask);
        if (got < 0 || static_cast<uint32_t>(got) > ask) {
            if (got > static_cast<int>(ask)) __builtin_trap();
            break;
        }
        if (got == 0) break;
        total += static_cast<size_t>(got);
    }
    return total;
}

inline int Run(const uint8_t* data, size_t size, const char* ext) {
    if (size < 2) return 0;
    static kestrin::HeadlessFileSystem* files = [] {
        auto* fs = new kestrin::HeadlessFileSystem();
        kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
        services.fileSystem = kestrin::Unowned(*fs);
        static kestrin::PlatformServicesScope scope(services);
        return fs;
    }();
    const size_t rest = size - 2;
    const size_t introSize = std::min<size_t>(data[0] | (data[1] << 8), rest);
    const std::string intro(reinterpret_cast<const char*>(data + 2), introSize);
    const std::string loop(reinterpret_cast<const char*>(data + 2 + introSize), rest - introSize);
    const std::string a = std::string("m_a.") + ext, b = std::string("m_b.") + ext;
    files->AddFile(a, intro);
    if (loop.empty())
        files->Remove(b);
    else
        files->AddFile(b, loop);

    kestrin::CFileFactory factory;
    kestrin::CSoundLoaders loaders(&factory);
    loaders.AddLoader(new kestrin::CVorbisLoader());
    loaders.AddLoader(new kestrin::CWaveLoader());
    kestrin::ISound* loaded = nullptr;
    if (loaders.LoadFile(loaded, "m_a") || !loaded) return 0;
    std::unique_ptr<kestrin::ISound> sound(loaded);
    const uint8_t* sizes = data + 2;
    const size_t sizeCount = std::min<size_t>(rest, 16);
    ReadBounded(*sound, sizes, sizeCount, 4u << 20);
    sound->Rewind();
    ReadBounded(*sound, sizes, sizeCount, 1u << 16);

    kestrin::PullAudioOutput& output = Output();
    for (bool wholeBuffer : {true, false}) {
        if (wholeBuffer && sound->GetDataSize() > (4u << 20)) continue;
        kestrin::CDxSound player;
        if (player.Create(sound.get(), wholeBuffer, 50)) continue;
        player.SetVolume(700);
        if (player.Play(true)) continue;
        for (int frame = 0; frame < 6; ++frame) {
            output.Render(735);
            player.Update();
        }
        player.IsPlaying();
    }
    return 0;
}

}  // namespace sound_fuzz
