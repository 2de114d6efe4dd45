// Scenario parsing throughput, variable lookup and expression evaluation.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "CORE/CIni.h"
#include "SCRIPT/COruParser.h"
#include "SCRIPT/COruVariables.h"

namespace {

// Typical scenario text in Shift_JIS: message lines, tags, line tags, labels and comments.
std::string MakeScenario(size_t bytes) {
    static const char* const kLines[] = {
        "\x81\x75\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD\x81\x41\x8D\xA1\x93\xFA\x82\xE0\x82\xA2\x82\xA2\x93\x56"
        "\x8B\x43\x82\xC5\x82\xB7\x82\xCB\x81\x76[l]\n",
        "\x94\xDE\x8F\x97\x82\xCD\x8F\xAD\x82\xB5\x8D\x6C\x82\xA6\x82\xC4\x82\xA9\x82\xE7\x81\x41\x82\xA4\x82\xC8"
        "\x82\xB8\x82\xA2\x82\xBD\x81\x42@\x82\xBB\x82\xB5\x82\xC4\x8F\xCE\x82\xC1\x82\xBD\x81\x42[p]\n",
        "[lyc id=bg file=\"bg\\room_day.png\" x=0 y=0 alpha=255]\n",
        "[lytween id=chara from=0 to=255 msec=300 param=alpha ease=easeout_quad]\n",
        "chara c1,face_smile.png\n",
        "[if estimate=\"$f.route == 2 && g.clear > 0\"]\n",
        "; a comment line\n",
        "\n",
        "*scene_042\n",
        "[splay file=\"bgm\\theme01.ogg\" time=1000][var name=t.count value=\"$t.count + 1\"]\n",
    };
    std::mt19937 rng(42);
    std::string text;
    text.reserve(bytes + 256);
    while (text.size() < bytes) text += kLines[rng() % (sizeof kLines / sizeof kLines[0])];
    return text;
}

std::shared_ptr<kestrin::CIni> TagIni() {
    auto ini = std::make_shared<kestrin::CIni>();
    ini->Parse("[chara]\n0=id\n1=file\n");
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
