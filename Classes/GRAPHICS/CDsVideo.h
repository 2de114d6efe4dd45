#pragma once
// The full-window movie player: decodes a movie file into a surface and draws it over the
// whole game area while the script waits. The picture shown at any moment is the movie's
// picture at the time since Play on the engine's clock, however fast pictures decode. Its
// sound goes through the shared mixer, fed a little ahead of the same clock, from Play to Stop.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrin {

class AudioBuffer;
class CMatrix2D;
class ILayer;
class ILayerFactory;
class ISurface;
class ISurfaceFactory;
class IVideoDecoder;

class CDsVideo {
public:
    // The factories of the renderer in use make the picture's surface and layer.
    CDsVideo(ISurfaceFactory* surfaceFactory, ILayerFactory* layerFactory);
    virtual ~CDsVideo();
    CDsVideo(const CDsVideo&) = delete;
    CDsVideo& operator=(const CDsVideo&) = delete;

    // Plays a loose movie file (a game file name) from its start; a playing movie is stopped
    // first. A movie that cannot be found, opened or decoded leaves the player stopped and
    // says why in the log.
    void Play(const std::string& path);
    void Stop();
    // Moves to the picture due now; the end of the movie, or a failure, stops it.
    void Update();
    bool IsPlaying() const { return m_playing; }
    // Draws the picture stretched over the logical game area of width x height through the
    // screen matrix.
    void Draw(const CMatrix2D& screenMatrix, int32_t width, int32_t height);

    ISurface* GetSurface() const { return m_surface.get(); }

private:
    // Writes the picture due ms after the start into the surface. True when the movie ended
    // or failed (said in the log).
    bool ShowPictureAt(uint32_t ms);
    // Starts the movie's sound, if it has any, at the mixer's current position.
    void StartSound();
    // Writes the sound due up to a little after ms into the ring the mixer plays.
    void FeedSound(uint32_t ms);
    void StopSound();

    ISurfaceFactory* m_surfaceFactory;
    ILayerFactory* m_layerFactory;
    std::unique_ptr<IVideoDecoder> m_decoder;
    std::shared_ptr<ISurface> m_surface;
    std::shared_ptr<ILayer> m_layer;
    std::string m_name;
    uint32_t m_startTime = 0;
    bool m_playing = false;
    // The sound: a looping ring of stereo frames at the mixer's rate, written ahead of its
    // play cursor.
    std::shared_ptr<AudioBuffer> m_sound;
    uint32_t m_soundRate = 0;
    uint32_t m_ringFrames = 0;
    uint32_t m_writeFrame = 0;    // the next frame of the ring to write
    uint64_t m_soundWritten = 0;  // frames of the movie's sound written so far
    bool m_soundEnded = false;
    std::vector<int16_t> m_soundScratch;
};

}  // namespace kestrin
