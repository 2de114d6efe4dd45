// Scenario parsing throughput, variable lookup and expression evaluation.
//
// Parse figures (a 30 MiB generated scenario, about a million blocks; build Release without
// sanitizers):
//   build/bench/bench_script --benchmark_filter=ParseScenario
// BM_ParseScenario is the warm heap (the same process parsing again); BM_ParseScenarioCold
// runs build/bench/script_cold_parse once per repetition, the first parse in a fresh process
// as a player pays it, and reports the heap the script holds beyond its text per block and
// the process's peak RSS. Engine start-up with a big scenario, CPU to the first frame:
//   build/bench/script_cold_parse 29 --write GAME/main.iet
//   printf '[SYSTEM]\nBOOT=main.iet\n' > GAME/system.ini; printf '[chara]\n0=id\n1=file\n' > GAME/tag.ini
//   /usr/bin/time -v build/tests/harness/kestrin-harness GAME --frames 1
// (user + system time and "Maximum resident set size").
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "CORE/CIni.h"
#include "SCRIPT/COruParser.h"
#include "SCRIPT/COruVariables.h"
#include "ScenarioText.h"

namespace {

using script_bench::MakeScenario;

std::shared_ptr<kestrin::CIni> TagIni() {
    auto ini = std::make_shared<kestrin::CIni>();
    ini->Parse(script_bench::TagIniText());
    return ini;
}

void BM_ParseScenario(benchmark::State& state) {
    const std::string text = MakeScenario(static_cast<size_t>(state.range(0)) << 20);
    auto ini = TagIni();
    size_t blocks = 0;
    for (auto _ : state) {
        auto parser = std::make_unique<kestrin::COruParser>(ini);
        parser->Parse(text.c_str());
        blocks = parser->GetBlocks().size();
        benchmark::DoNotOptimize(blocks);
        // Freeing a million blocks is not parsing.
        state.PauseTiming();
        parser.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["blocks"] = static_cast<double>(blocks);
}
BENCHMARK(BM_ParseScenario)->Arg(30)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same with the block list freed inside the timing (a script loaded and dropped).
void BM_ParseAndFreeScenario(benchmark::State& state) {
    const std::string text = MakeScenario(static_cast<size_t>(state.range(0)) << 20);
    auto ini = TagIni();
    for (auto _ : state) {
        kestrin::COruParser parser(ini);
        parser.Parse(text.c_str());
        benchmark::DoNotOptimize(parser.GetBlocks().size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseAndFreeScenario)->Arg(30)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The first parse in a fresh process, as a player pays it: the heap holds nothing to reuse and
// every page is new. Each repetition runs script_cold_parse once and takes the time it measured.
void BM_ParseScenarioCold(benchmark::State& state) {
    const std::string command = std::string(KESTRIN_COLD_PARSE) + " " + std::to_string(state.range(0));
    double blocks = 0, heap = 0, text = 0, rssKiB = 0;
    for (auto _ : state) {
        std::FILE* child = popen(command.c_str(), "r");
        double seconds = 0;
        const int got = child ? std::fscanf(child, "%lf %lf %lf %lf %lf", &seconds, &blocks, &heap, &text, &rssKiB) : 0;
        if (!child || pclose(child) != 0 || got != 5 || blocks <= 0) {
            state.SkipWithError("script_cold_parse failed");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text));
    state.counters["blocks"] = blocks;
    // Heap the parsed script holds beyond the size of its text, per block.
    state.counters["bytes_per_block"] = (heap - text) / blocks;
    state.counters["peak_rss_MiB"] = rssKiB / 1024;
}
BENCHMARK(BM_ParseScenarioCold)->Arg(30)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_VariableLookup(benchmark::State& state) {
    kestrin::COruVariables vars;
    for (int i = 0; i < 2000; ++i) vars.SetInt("f.flag_" + std::to_string(i), i);
    vars.SetInt("s.bgmvol", 1000);
    const std::string name = "s.bgmvol";
    for (auto _ : state) benchmark::DoNotOptimize(vars.Find(name));
}
BENCHMARK(BM_VariableLookup);

void BM_VariableGetInt(benchmark::State& state) {
    kestrin::COruVariables vars;
    for (int i = 0; i < 2000; ++i) vars.SetInt("f.flag_" + std::to_string(i), i);
    vars.PushLocalScope()->SetString("arg", "1");
    const std::string name = "f.flag_1234";
    for (auto _ : state) benchmark::DoNotOptimize(vars.GetInt(name));
}
BENCHMARK(BM_VariableGetInt);

void BM_Expression(benchmark::State& state) {
    kestrin::COruVariables vars;
    vars.AddQuoteCharacter('\'');
    for (int i = 0; i < 2000; ++i) vars.SetInt("f.flag_" + std::to_string(i), i);
    vars.SetInt("a", 3);
    vars.SetInt("b", 4);
    vars.SetInt("c", 11);
    const std::string expression = "a + b * 2 == c";
    std::string result;
    for (auto _ : state) {
        result = vars.Evaluate(expression);
        benchmark::DoNotOptimize(result);
    }
    if (result != "1") state.SkipWithError("wrong value");
}
BENCHMARK(BM_Expression);

}  // namespace
