#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SOUND/CSoundLoaders.h"
#include "SOUND/CVorbis.h"
#include "SOUND/CVorbisLoader.h"
#include "SOUND/CWave.h"
#include "SOUND/CWaveLoader.h"
#include "SoundTestSupport.h"
#include "support/TestSupport.h"

using namespace kestrin;
using namespace sound_test;
using kestrin_test::TempDir;

namespace {

// Records every name a file of it was opened with.
class RecordingFactory : public CFileFactory {
public:
    class File : public CFile {
    public:
        explicit File(std::vector<std::string>* log) : m_log(log) {}
        CFile* Clone(bool copyState) override {
            File* clone = new File(m_log);
            if (copyState) clone->CopyFrom(*this);
            return clone;
        }
        bool Open(const char* name) override {
            m_log->push_back(name);
            return CFile::Open(name);
        }

    private:
        std::vector<std::string>* m_log;
    };
    CFile* Create() override { return new File(&names); }
    std::vector<std::string> names;
};

// A loader that claims extensions and counts its trials; never loads.
class CountingLoader : public ISoundLoader {
public:
    explicit CountingLoader(std::vector<std::string> extensions) : m_extensions(std::move(extensions)) {}
    void GetExtensions(std::vector<std::string>& extensions) override { extensions = m_extensions; }
    bool Load(ISound*& out, std::shared_ptr<CFile>) override {
        ++trials;
        out = nullptr;
        return true;
    }
    int trials = 0;

private:
    std::vector<std::string> m_extensions;
};

struct Loaders {
    RecordingFactory factory;
    CSoundLoaders loaders{&factory};
    Loaders() {
        loaders.AddLoader(new CVorbisLoader());
        loaders.AddLoader(new CWaveLoader());
    }
};

}  // namespace

TEST(CSoundLoaders, LoadersClaimTheirExtensions) {
    std::vector<std::string> extensions = {"left over"};
    CVorbisLoader().GetExtensions(extensions);
    EXPECT_EQ(extensions, (std::vector<std::string>{"ogg", "OGG"}));
    CWaveLoader().GetExtensions(extensions);
    EXPECT_EQ(extensions, (std::vector<std::string>{"wav", "WAV"}));
    CSoundLoaders registry(nullptr);
    registry.GetExtensions(extensions);
    EXPECT_EQ(extensions, (std::vector<std::string>{"wav", "WAV"}));
}

TEST(CSoundLoaders, AddLoaderTakesEachLoaderOnce) {
    CSoundLoaders registry(nullptr);
    EXPECT_TRUE(registry.AddLoader(nullptr));
    auto* loader = new CountingLoader({"x"});
    EXPECT_FALSE(registry.AddLoader(loader));
    EXPECT_FALSE(registry.AddLoader(loader));
    TempDir dir;
    std::shared_ptr<CFile> file(CFileFactory().Create());
    ASSERT_FALSE(file->Open(dir.Write("f.x", "bytes").c_str()));
    ISound* out = reinterpret_cast<ISound*>(1);
    EXPECT_TRUE(registry.Load(out, file));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(loader->trials, 1);
}

TEST(CSoundLoaders, NamesTriedInOrder) {
    TempDir dir;
    const std::string base = dir.Path() + "/bgm";
    struct Case {
        const char* what;
        std::string file;  // written under dir ("" for none)
        const char* fixture;
        std::string name;  // asked for
        std::vector<std::string> tried;
        bool loads;
        // clang-format off
    } cases[] = {
        {"missing", "", "", base + "\\op", {base + "\\op", base + "\\op.ogg", base + "\\op.OGG", base + "\\op.wav", base + "\\op.WAV"}, false},
        // The file layer matches names in any letter case: "se.ogg" finds "se.OGG".
        {"found with the first extension", "bgm/se.OGG", "mono.ogg", base + "\\se", {base + "\\se", base + "\\se.ogg"}, true},
        {"as given", "bgm/v.ogg", "mono.ogg", base + "\\v.ogg", {base + "\\v.ogg"}, true},
        {"WAVE file", "bgm/w.WAV", "pcm8_mono.wav", base + "\\w", {base + "\\w", base + "\\w.ogg", base + "\\w.OGG", base + "\\w.wav"}, true},
        {"WAVE bytes behind an Ogg name", "bgm/x.ogg", "pcm8_mono.wav", base + "\\x", {base + "\\x", base + "\\x.ogg", base + "\\x.OGG", base + "\\x.wav", base + "\\x.WAV"}, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.file.empty()) dir.Write(c.file, Fixture(c.fixture));
        Loaders l;
        ISound* out = nullptr;
        EXPECT_EQ(l.loaders.LoadFile(out, c.name), !c.loads);
        EXPECT_EQ(out != nullptr, c.loads);
        EXPECT_EQ(l.factory.names, c.tried);
        delete out;
    }
}

TEST(CSoundLoaders, ContentsDecideWhenTheExtensionMisleads) {
    TempDir dir;
    struct Case {
        const char* file;
        const char* fixture;
        bool vorbis;
    } cases[] = {
        {"wave.ogg", "pcm8_mono.wav", false},  // the Vorbis loader fails, the WAVE loader reads it from its start
        {"music.Ogg", "mono.ogg", true},       // no extension list holds "Ogg": every loader is tried
        {"noext", "pcm16_stereo.wav", false},
        {"vorbis.wav", "mono.ogg", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = dir.Write(c.file, Fixture(c.fixture));
        Loaders l;
        ISound* out = nullptr;
        ASSERT_FALSE(l.loaders.LoadFile(out, path));
        ASSERT_TRUE(out);
        EXPECT_EQ(dynamic_cast<CVorbis*>(out) != nullptr, c.vorbis);
        EXPECT_GT(ReadAll(*out).size(), 0u);
        EXPECT_EQ(l.factory.names, std::vector<std::string>{path});
        delete out;
    }
}

TEST(CSoundLoaders, ExtensionMatchTriesOnlyTheLoaderThatClaimsIt) {
    TempDir dir;
    const std::string path = dir.Write("a.snd", "not a sound");
    RecordingFactory factory;
    CSoundLoaders registry(&factory);
    auto* first = new CountingLoader({"wav"});
    auto* second = new CountingLoader({"snd", "SND"});
    registry.AddLoader(first);
    registry.AddLoader(second);
    ISound* out = nullptr;
    EXPECT_TRUE(registry.LoadFile(out, path));
    // By extension (second), then every loader on the same file, then name + "." + each
    // extension, none of which exists.
    EXPECT_EQ(first->trials, 1);
    EXPECT_EQ(second->trials, 2);
    EXPECT_EQ(factory.names, (std::vector<std::string>{path, path + ".wav", path + ".snd", path + ".SND"}));
}
