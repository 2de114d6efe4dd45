// One parse of the generated scenario in a fresh process: the heap is cold, as it is for a
// player starting a game. bench_script runs this for its cold figure.
//   script_cold_parse MIB              prints "seconds blocks script_heap_bytes text_bytes peak_rss_kib
//                                      user_seconds system_seconds" (times of the parse alone)
//   script_cold_parse MIB --write FILE writes the scenario to FILE instead
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CORE/CIni.h"
#include "SCRIPT/COruParser.h"
#include "ScenarioText.h"

namespace {
double Seconds(const struct timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s MIB [--write FILE]\n", argv[0]);
        return 2;
    }
    const size_t bytes = static_cast<size_t>(std::strtoul(argv[1], nullptr, 10)) << 20;
    const std::string text = script_bench::MakeScenario(bytes);
    if (argc >= 4 && std::strcmp(argv[2], "--write") == 0) {
        std::FILE* f = std::fopen(argv[3], "wb");
        if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) return 1;
        return 0;
    }
    auto ini = std::make_shared<kestrin::CIni>();
    ini->Parse(script_bench::TagIniText());

    // As a script is loaded: its text read into a buffer the parser takes over.
    kestrin::ScriptText buffer(text.size() + 1, 0);
    std::memcpy(buffer.data(), text.data(), text.size());
    const size_t bufferBytes = buffer.capacity();
    const size_t before = HeapInUse();
    struct rusage start {};
    getrusage(RUSAGE_SELF, &start);
    const auto begin = std::chrono::steady_clock::now();
    auto blocks = [&] {
        kestrin::COruParser parser(ini);
        parser.ParseScript(buffer);
        return parser.TakeBlocks();
    }();
    const auto stop = std::chrono::steady_clock::now();
    // The buffer read is counted with the script, which holds it.
    const size_t held = HeapInUse() + bufferBytes - before;

    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.6f %zu %zu %zu %ld %.3f %.3f\n", std::chrono::duration<double>(stop - begin).count(), blocks.size(),
                held, text.size(), usage.ru_maxrss, Seconds(usage.ru_utime) - Seconds(start.ru_utime),
                Seconds(usage.ru_stime) - Seconds(start.ru_stime));
    return 0;
}
