// Conversion throughput of the babel engines next to the C library's
// iconv(3) on the same Japanese text. Each benchmark times both and reports
// MiB/s of input for each and the ratio ours / iconv (above 1: ours is
// faster). Both sides allocate their output inside the timed part, as a
// caller would. Sizes from 16 KiB to 32 MiB show whether the time stays
// linear in the input size.
#include <benchmark/benchmark.h>

#include <iconv.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "babel/babel.h"

namespace {

// A scenario-like paragraph: kanji, kana, punctuation, full-width and
// half-width forms, and some ASCII markup.
const char kParagraph[] =
    "[msg]吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。"
    "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。\n"
    "「ようこそ、Kestrinの世界へ！」と彼女は言った。ｶﾀｶﾅも混じる（全角：ＡＢＣ１２３）。\n"
    "選択肢①を選ぶと、物語は≪第二章≫へ進みます……。[wait time=500]\n";

// The same without half-width katakana and NEC specials, which plain EUC-JP
// and ISO-2022-JP lack, so that iconv converts all of it.
const char kJisParagraph[] =
    "[msg]吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。"
    "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。\n"
    "「ようこそ、Kestrinの世界へ！」と彼女は言った。カタカナも混じる（全角：ＡＢＣ１２３）。\n"
    "選択肢一を選ぶと、物語は≪第二章≫へ進みます……。[wait time=500]\n";

std::string Utf8Text(std::size_t size, const char* paragraph = kParagraph) {
    std::string text;
    while (text.size() < size) text += paragraph;
    // Cut at a line end so that no character is split.
    const std::size_t cut = text.rfind('\n', size);
    text.resize(cut == std::string::npos ? size : cut + 1);
    return text;
}

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) std::abort();
    }
    ~Iconv() { iconv_close(cd_); }
    // Converts into a fresh buffer of the largest possible output, left
    // uninitialised like the spare capacity of a reserved string.
    std::unique_ptr<char[]> Convert(const std::string& in, std::size_t& out_size) const {
        const std::size_t capacity = in.size() * 4 + 64;
        std::unique_ptr<char[]> out(new char[capacity]);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t src_left = in.size();
        char* dst = out.get();
        std::size_t dst_left = capacity;
        // The comparison is only fair when iconv converts the whole text.
        if (iconv(cd_, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1) || src_left != 0) std::abort();
        out_size = capacity - dst_left;
        return out;
    }

private:
    iconv_t cd_;
};

std::string AsBytes(const std::u16string& s) {
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

using Clock = std::chrono::steady_clock;

// Times `ours` and iconv alternately on the same input and reports both.
template <class Ours>
void Compare(benchmark::State& state, const std::string& input_bytes, const Iconv& cv, Ours ours) {
    double ours_s = 0, iconv_s = 0;
    for (auto _ : state) {
        // Each result is released outside the timed part.
        const auto t0 = Clock::now();
        auto ours_out = ours();
        benchmark::DoNotOptimize(ours_out.data());
        const auto t1 = Clock::now();
        std::size_t iconv_size = 0;
        auto iconv_out = cv.Convert(input_bytes, iconv_size);
        benchmark::DoNotOptimize(iconv_out.get());
        const auto t2 = Clock::now();
        const double a = std::chrono::duration<double>(t1 - t0).count();
        ours_s += a;
        iconv_s += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(a);
    }
    const double mib =
        static_cast<double>(input_bytes.size()) * static_cast<double>(state.iterations()) / (1024.0 * 1024.0);
    state.SetBytesProcessed(static_cast<int64_t>(input_bytes.size()) * state.iterations());
    state.counters["babel_MiBps"] = mib / ours_s;
    state.counters["iconv_MiBps"] = mib / iconv_s;
    state.counters["ratio"] = iconv_s / ours_s;
}

void BM_SjisToUtf8(benchmark::State& state) {
    const std::string sjis = babel::utf8_to_sjis(Utf8Text(static_cast<std::size_t>(state.range(0))));
    Iconv cv("UTF-8", "CP932");
    Compare(state, sjis, cv, [&] { return babel::sjis_to_utf8(sjis); });
}

void BM_Utf8ToSjis(benchmark::State& state) {
    const std::string utf8 = Utf8Text(static_cast<std::size_t>(state.range(0)));
    Iconv cv("CP932", "UTF-8");
    Compare(state, utf8, cv, [&] { return babel::utf8_to_sjis(utf8); });
}

void BM_Utf8ToUnicode(benchmark::State& state) {
    const std::string utf8 = Utf8Text(static_cast<std::size_t>(state.range(0)));
    Iconv cv("UTF-16LE", "UTF-8");
    Compare(state, utf8, cv, [&] { return babel::utf8_to_unicode(utf8); });
}

void BM_UnicodeToUtf8(benchmark::State& state) {
    const std::u16string wide = babel::utf8_to_unicode(Utf8Text(static_cast<std::size_t>(state.range(0))));
    const std::string wide_bytes = AsBytes(wide);
    Iconv cv("UTF-8", "UTF-16LE");
    Compare(state, wide_bytes, cv, [&] { return babel::unicode_to_utf8(wide); });
}

void BM_EucToUtf8(benchmark::State& state) {
    const std::string euc = babel::utf8_to_euc(Utf8Text(static_cast<std::size_t>(state.range(0)), kJisParagraph));
    Iconv cv("UTF-8", "EUC-JP");
    Compare(state, euc, cv, [&] { return babel::euc_to_utf8(euc); });
}

void BM_SjisToJis(benchmark::State& state) {
    const std::string sjis = babel::utf8_to_sjis(Utf8Text(static_cast<std::size_t>(state.range(0)), kJisParagraph));
    Iconv cv("ISO-2022-JP", "CP932");
    Compare(state, sjis, cv, [&] { return babel::sjis_to_jis(sjis); });
}

#define BABEL_SIZES ->Arg(16 << 10)->Arg(256 << 10)->Arg(32 << 20)->UseManualTime()->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_SjisToUtf8) BABEL_SIZES;
BENCHMARK(BM_Utf8ToSjis) BABEL_SIZES;
BENCHMARK(BM_Utf8ToUnicode) BABEL_SIZES;
BENCHMARK(BM_UnicodeToUtf8) BABEL_SIZES;
BENCHMARK(BM_EucToUtf8) BABEL_SIZES;
BENCHMARK(BM_SjisToJis) BABEL_SIZES;

}  // namespace
