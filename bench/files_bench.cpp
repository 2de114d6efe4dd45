// File layer figures: opening an entry of a loaded archive, loading a one-entry and a 10,000-entry index,
// loading indexes of 10,000 to 100,000 voice entries (which should cost in proportion to their
// size), sequential entry reads, and building and loading a 1 MB serializer image.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "CORE/COruPackFile.h"
#include "CORE/CSerializer.h"
#include "CORE/FileFunctions.h"

namespace fs = std::filesystem;
using namespace kestrin;

namespace {

// A folder of game data packed with kpack, made once per process.
struct Fixture {
    fs::path dir;
    Fixture() {
        dir = fs::temp_directory_path() / ("kestrin_files_bench_" + std::to_string(std::rand()));
        fs::create_directories(dir / "small" / "img");
        fs::create_directories(dir / "many");
        fs::create_directories(dir / "big");
        fs::create_directories(dir / "one");
        std::ofstream(dir / "one" / "system.ini") << "[SYSTEM]\n";
        for (int i = 0; i < 1000; ++i) {
            std::ofstream(dir / "small" / "img" / ("file" + std::to_string(i) + ".png")) << "png bytes " << i;
        }
        for (int i = 0; i < 10000; ++i) {
            std::ofstream(dir / "many" / ("scenario_" + std::to_string(i) + ".iet")) << i;
        }
        std::string chunk(1 << 20, 'x');
        std::ofstream big(dir / "big" / "movie.mja", std::ios::binary);
        for (int i = 0; i < 64; ++i) big.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        big.close();
        const fs::path kpack = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tools" / "kpack";
        for (const char* name : {"small", "many", "big", "one"}) {
            std::string command =
                kpack.string() + " -k 3 " + (dir / name).string() + " " + (dir / (std::string(name) + ".pfs")).string();
            if (std::system(command.c_str()) != 0) std::abort();
        }
        ChangeDirectory(dir.string());
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Fixture& Data() {
    static Fixture fixture;
    return fixture;
}

void BM_OpenEntryOfLoadedArchive(benchmark::State& state) {
    Data();
    CPackFile::RootPackName = "small.pfs";
    COruPackFile warm;
    warm.Open("img\\file1.png");
    int i = 0;
    for (auto _ : state) {
        COruPackFile f;
        std::string name = "img\\file" + std::to_string(i++ % 1000) + ".png";
        if (f.Open(name.c_str())) state.SkipWithError("entry not found");
        benchmark::DoNotOptimize(f.GetSize());
    }
}
BENCHMARK(BM_OpenEntryOfLoadedArchive)->Unit(benchmark::kMicrosecond);

void BM_Load10000EntryIndex(benchmark::State& state) {
    Data();
    for (auto _ : state) {
        CPackFile::ClearArchives();
        COruPackFile f;
        if (f.LoadArchive("many.pfs")) state.SkipWithError("archive did not load");
    }
    CPackFile::ClearArchives();
}
BENCHMARK(BM_Load10000EntryIndex)->Unit(benchmark::kMillisecond);

void PutInt(std::string& out, int64_t value) {
    const uint32_t u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void PutString(std::string& out, const std::string& s) {
    PutInt(out, static_cast<int64_t>(s.size()));
    out += s;
}

// The index image of count voice entries whose bytes are the 4 at offset dataAt (all of them: only
// the index is being measured).
std::string VoiceIndex(int count, const std::string& container, int64_t dataAt) {
    std::string image;
    PutInt(image, 0);
    PutInt(image, count);
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "voice\\ch%02d\\v_%06d.ogg", i % 40, i);
        std::string record;
        PutInt(record, 0);
        PutString(record, container);
        PutInt(record, dataAt);
        PutInt(record, 4);
        PutString(image, name);
        PutString(image, record);
    }
    return image;
}

// A "pf3" archive of count entries, written directly (kpack would need as many files).
fs::path VoiceArchive(int count) {
    const fs::path path = Data().dir / ("voice" + std::to_string(count) + ".pfs");
    if (fs::exists(path)) return path;
    const std::string container = path.string();
    // The index length does not depend on the offsets it holds.
    const int64_t dataAt = 3 + 4 + static_cast<int64_t>(VoiceIndex(count, container, 0).size());
    std::string image = VoiceIndex(count, container, dataAt);
    for (size_t i = 0; i < image.size(); ++i) image[i] ^= static_cast<char>(CPackFile::IndexKey[i % 20]);
    std::string out = "pf3";
    PutInt(out, static_cast<int64_t>(image.size()));
    out += image;
    out += "ogg!";
    std::ofstream(path, std::ios::binary).write(out.data(), static_cast<std::streamsize>(out.size()));
    return path;
}

// Big voiced games hold tens of thousands of entries; the archive is named by its full path, as
// start-up names the root archive.
void BM_LoadVoiceIndex(benchmark::State& state) {
    const std::string archive = VoiceArchive(static_cast<int>(state.range(0))).string();
    {
        CPackFile::ClearArchives();
        COruPackFile f;
        std::vector<std::string> names;
        if (f.GetFileList(archive, names) || static_cast<int64_t>(names.size()) != state.range(0)) {
            state.SkipWithError("the index did not load whole");
            return;
        }
    }
    for (auto _ : state) {
        CPackFile::ClearArchives();
        COruPackFile f;
        if (f.LoadArchive(archive.c_str())) state.SkipWithError("archive did not load");
    }
    CPackFile::ClearArchives();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadVoiceIndex)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The fixed cost of a first load: one entry, so what remains is finding the file and its volumes.
void BM_LoadOneEntryArchive(benchmark::State& state) {
    Data();
    for (auto _ : state) {
        CPackFile::ClearArchives();
        COruPackFile f;
        if (f.LoadArchive("one.pfs")) state.SkipWithError("archive did not load");
    }
    CPackFile::ClearArchives();
}
BENCHMARK(BM_LoadOneEntryArchive)->Unit(benchmark::kMicrosecond);

void BM_SequentialEntryRead(benchmark::State& state) {
    Data();
    std::vector<char> buffer(static_cast<size_t>(state.range(0)));
    COruPackFile f;
    if (f.Open("big\\movie.mja")) state.SkipWithError("entry not found");
    int64_t total = 0;
    for (auto _ : state) {
        f.Seek(0, 0);
        int n;
        while ((n = f.Read(buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) total += n;
    }
    state.SetBytesProcessed(total);
}
BENCHMARK(BM_SequentialEntryRead)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);

struct Table : ISerializable {
    std::map<std::string, std::string> values;
    std::vector<std::string> lines;
    void Save(CSerializer* s) override {
        s->SaveStringMap(values, 1);
        s->SaveStringVector(lines, 2);
    }
    void Load(CSerializer* s) override {
        s->LoadStringMap(values, 1);
        s->LoadStringVector(lines, 2);
    }
};

// About 1 MB: 20,000 variables and 10,000 lines of text.
Table MakeTable() {
    Table t;
    for (int i = 0; i < 20000; ++i) t.values["f.variable_" + std::to_string(i)] = "value " + std::to_string(i * 7);
    for (int i = 0; i < 10000; ++i) t.lines.push_back("a line of backlog text number " + std::to_string(i));
    return t;
}

void BM_SerializerBuild1MB(benchmark::State& state) {
    Table t = MakeTable();
    int64_t size = 0;
    for (auto _ : state) {
        CSerializer s;
        t.Save(&s);
        size = s.GetMemory()->size;
        benchmark::DoNotOptimize(size);
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_SerializerBuild1MB)->Unit(benchmark::kMillisecond);

void BM_SerializerLoad1MB(benchmark::State& state) {
    Table t = MakeTable();
    CSerializer s;
    t.Save(&s);
    CBinaryStream::CMemoryInfo* image = s.GetMemory();
    for (auto _ : state) {
        Table back;
        CSerializer r;
        r.Attach(image->data, static_cast<unsigned>(image->size));
        back.Load(&r);
        benchmark::DoNotOptimize(back.values.size());
    }
    state.counters["bytes"] = static_cast<double>(image->size);
}
BENCHMARK(BM_SerializerLoad1MB)->Unit(benchmark::kMillisecond);

}  // namespace
