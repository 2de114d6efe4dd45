// The translate frame as the engines share it: pending input, flush, clear,
// repeated convert, and output that depends neither on the chunk size nor on
// how the input is cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "babel/babel.h"
#include "babel/euc_to_jis_engine.h"
#include "babel/euc_to_sjis_engine.h"
#include "babel/euc_to_unicode_engine.h"
#include "babel/jis_to_euc_engine.h"
#include "babel/jis_to_sjis_engine.h"
#include "babel/sjis_cp932_to_unicode_engine.h"
#include "babel/sjis_to_euc_engine.h"
#include "babel/sjis_to_jis_engine.h"
#include "babel/unicode_to_euc_engine.h"
#include "babel/unicode_to_sjis_cp932_engine.h"
#include "babel/unicode_to_utf8_engine.h"
#include "babel/utf8_to_unicode_engine.h"

namespace {

// A Shift_JIS text touching every kind of character: ASCII, JIS X 0208,
// NEC, NEC-selected and IBM codes, katakana, the user-defined area, odd
// single bytes, bad trail bytes and unassigned pairs.
std::string MixedSjis() {
    const std::string piece =
        "Kestrin \x93\xFA\x96\x7B\x8C\xEA\x82\xA0\x87\x90\x87\x40\xEE\xEF\xFA\x40\xFA\x58"
        "\xB1\xB2\xDF\xF0\x40\x80\xA0\xFD\x82\x20\x81\xAD\x5C\x7E\n";
    std::string text;
    while (text.size() < 5000) text += piece;
    return text;
}

std::string RandomBytes(std::mt19937& rng, std::size_t n) {
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

std::u16string RandomUnits(std::mt19937& rng, std::size_t n) {
    std::u16string s(n, u'\0');
    for (auto& c : s) {
        // Bias towards the interesting ranges: ASCII, kana/kanji, surrogates.
        switch (rng() % 4) {
            case 0: c = static_cast<char16_t>(rng() % 0x80); break;
            case 1: c = static_cast<char16_t>(0x3000 + rng() % 0x6000); break;
            case 2: c = static_cast<char16_t>(0xD800 + rng() % 0x800); break;
            default: c = static_cast<char16_t>(rng() & 0xFFFF); break;
        }
    }
    return s;
}

// Feeds the input in pieces of `piece` units, then flushes.
template <class Engine>
typename Engine::output_string ConvertInPieces(const typename Engine::input_string& input, std::size_t piece) {
    Engine engine;
    for (std::size_t at = 0; at < input.size(); at += piece)
        engine.feed(input.data() + at, std::min(piece, input.size() - at));
    engine.flush();
    return engine.output;
}

template <class Engine>
void ExpectChunkAndPieceSizeIrrelevant(const typename Engine::input_string& input, const char* what) {
    Engine reference;
    const auto expected = reference.convert(input);
    for (std::size_t limit = 1; limit <= 7; ++limit) {
        Engine engine;
        engine.set_chunk_limit(limit);
        EXPECT_EQ(engine.convert(input), expected) << what << " with chunks of " << limit;
        EXPECT_EQ(ConvertInPieces<Engine>(input, limit), expected) << what << " in pieces of " << limit;
    }
    // The same through pending_input and translate.
    Engine engine;
    for (std::size_t at = 0; at < input.size(); at += 3) {
        engine.pending_input.append(input, at, 3);
        engine.translate();
    }
    engine.flush();
    EXPECT_EQ(engine.output, expected) << what << " through translate";
}

template <class Engine>
void ExpectChunkAndPieceSizeIrrelevantOnRandomInput(std::mt19937& rng, const char* what) {
    for (int round = 0; round < 20; ++round) {
        if constexpr (std::is_same_v<typename Engine::input_string, std::u16string>)
            ExpectChunkAndPieceSizeIrrelevant<Engine>(RandomUnits(rng, 1 + rng() % 3000), what);
        else
            ExpectChunkAndPieceSizeIrrelevant<Engine>(RandomBytes(rng, 1 + rng() % 3000), what);
    }
}

TEST(BabelEngine, ChunkSizeAndFeedingInPiecesDoNotChangeTheOutput) {
    const std::string sjis = MixedSjis();
    const std::string euc = babel::sjis_to_euc(sjis) + "\x8F\xA2\xB7\x8F\xA2\xC2" + babel::sjis_to_euc(sjis);
    const std::string jis = babel::euc_to_jis(euc) +
                            "\x0F\x31\x32\x0E"
                            "A\x1B$@\x1B(J" +
                            babel::euc_to_jis(euc);
    const std::string utf8 = babel::sjis_to_utf8(sjis) + "\xF0\x9F\x98\x80\xC3\x28\x80\xFE" + babel::sjis_to_utf8(sjis);
    const std::u16string wide = babel::utf8_to_unicode(utf8) +
                                u"\xD800"
                                "a\xDC00";

    ExpectChunkAndPieceSizeIrrelevant<babel::sjis_cp932_to_unicode_engine>(sjis, "sjis->unicode");
    ExpectChunkAndPieceSizeIrrelevant<babel::unicode_to_sjis_cp932_engine>(wide, "unicode->sjis");
    ExpectChunkAndPieceSizeIrrelevant<babel::euc_to_unicode_engine>(euc, "euc->unicode");
    ExpectChunkAndPieceSizeIrrelevant<babel::unicode_to_euc_engine>(wide, "unicode->euc");
    ExpectChunkAndPieceSizeIrrelevant<babel::sjis_to_euc_engine>(sjis, "sjis->euc");
    ExpectChunkAndPieceSizeIrrelevant<babel::euc_to_sjis_engine>(euc, "euc->sjis");
    ExpectChunkAndPieceSizeIrrelevant<babel::jis_to_sjis_engine>(jis, "jis->sjis");
    ExpectChunkAndPieceSizeIrrelevant<babel::jis_to_euc_engine>(jis, "jis->euc");
    ExpectChunkAndPieceSizeIrrelevant<babel::sjis_to_jis_engine>(sjis, "sjis->jis");
    ExpectChunkAndPieceSizeIrrelevant<babel::euc_to_jis_engine>(euc, "euc->jis");
    ExpectChunkAndPieceSizeIrrelevant<babel::utf8_to_unicode_engine>(utf8, "utf8->unicode");
    ExpectChunkAndPieceSizeIrrelevant<babel::unicode_to_utf8_engine>(wide, "unicode->utf8");

    std::mt19937 rng(20261210);
    ExpectChunkAndPieceSizeIrrelevantOnRandomInput<babel::sjis_cp932_to_unicode_engine>(rng, "sjis->unicode");
    ExpectChunkAndPieceSizeIrrelevantOnRandomInput<babel::unicode_to_sjis_cp932_engine>(rng, "unicode->sjis");
    ExpectChunkAndPieceSizeIrrelevantOnRandomInput<babel::euc_to_unicode_engine>(rng, "euc->unicode");
    ExpectChunkAndPieceSizeIrrelevantOnRandomInput<babel::unicode_to_euc_engine>(rng, "unicode->euc");
    ExpectChunkAndPieceSizeIrrelevantOnRandomInput<babel::sjis_to_euc_engine>(rng, "sjis->euc");
    ExpectChunkAndPieceSizeIrrelevantOnRandomInput<babel::euc_to_sjis_engine>(rng, "euc->sjis");
    ExpectChunkAndPieceSizeIrrelevantOnRandomInput<babel::jis_to_sjis_engine>(rng, "jis->sjis");
    ExpectChunkAndPieceSizeIrrelevantOnRandomInput<babel::jis_to_euc_engine>(rng, "jis->euc");
    ExpectChunkAndPieceSizeIrrelevantOnRandomInput<babel::sjis_to_jis_engine>(rng, "sjis->jis");
    ExpectChunkAndPieceSizeIrrelevantOnRandomInput<babel::euc_to_jis_engine>(rng, "euc->jis");
    ExpectChunkAndPieceSizeIrrelevantOnRandomInput<babel::utf8_to_unicode_engine>(rng, "utf8->unicode");
    ExpectChunkAndPieceSizeIrrelevantOnRandomInput<babel::unicode_to_utf8_engine>(rng, "unicode->utf8");
}

TEST(BabelEngine, ChainsGiveWhatTheirStepsGive) {
    // The chained functions pass text along in slices; texts longer than a
    // slice, with characters cut at every slice border, must come out as the
    // steps done one after the other on whole strings.
    std::mt19937 rng(1210);
    std::string sjis;
    while (sjis.size() < 70000) sjis += MixedSjis();
    const std::string utf8 = babel::sjis_to_utf8(sjis);
    const std::string euc = babel::sjis_to_euc(sjis);
    const std::string jis = babel::euc_to_jis(euc);
    for (int round = 0; round < 4; ++round) {
        const std::string noise = RandomBytes(rng, 40000 + rng() % 1000);
        for (const std::string& text :
             {sjis.substr(round), utf8.substr(round), euc.substr(round), jis.substr(round), noise}) {
            EXPECT_EQ(babel::sjis_to_utf8(text), babel::unicode_to_utf8(babel::sjis_cp932_to_unicode(text)));
            EXPECT_EQ(babel::euc_to_utf8(text), babel::unicode_to_utf8(babel::euc_to_unicode(text)));
            EXPECT_EQ(babel::jis_to_unicode(text), babel::euc_to_unicode(babel::jis_to_euc(text)));
            EXPECT_EQ(babel::jis_to_utf8(text), babel::unicode_to_utf8(babel::euc_to_unicode(babel::jis_to_euc(text))));
            EXPECT_EQ(babel::utf8_to_sjis(text), babel::unicode_to_sjis_cp932(babel::utf8_to_unicode(text)));
            EXPECT_EQ(babel::utf8_to_euc(text), babel::unicode_to_euc(babel::utf8_to_unicode(text)));
            EXPECT_EQ(babel::utf8_to_jis(text), babel::euc_to_jis(babel::unicode_to_euc(babel::utf8_to_unicode(text))));
        }
    }
}

TEST(BabelEngine, ConvertAppendsAndClearEmpties) {
    babel::sjis_cp932_to_unicode_engine engine;
    EXPECT_EQ(engine.convert("\x82\xA0"), u"\u3042");
    EXPECT_EQ(engine.convert("a\x82"),
              u"\u3042"
              "a?");
    engine.clear();
    EXPECT_EQ(engine.output, u"");
    EXPECT_EQ(engine.pending_input, "");
}

TEST(BabelEngine, TranslateKeepsOnlyAnIncompleteTail) {
    babel::utf8_to_unicode_engine utf8;
    utf8.pending_input = "a\xE3\x81";
    utf8.translate();
    EXPECT_EQ(utf8.output, u"a");
    EXPECT_EQ(utf8.pending_input, "\xE3\x81");
    utf8.pending_input += "\x82";
    utf8.translate();
    EXPECT_EQ(utf8.output, u"a\u3042");
    EXPECT_EQ(utf8.pending_input, "");

    babel::unicode_to_utf8_engine wide;
    wide.pending_input.assign(1, char16_t(0xD83D));
    wide.translate();
    EXPECT_EQ(wide.pending_input, u"\xD83D");
    wide.flush();
    EXPECT_EQ(wide.output, "?");

    babel::jis_to_euc_engine reader;
    reader.pending_input = "\x1B$B\x30\x21\x1B$";
    reader.translate();
    EXPECT_EQ(reader.output, "\xB0\xA1");
    EXPECT_EQ(reader.pending_input, "\x1B$");
    EXPECT_EQ(reader.mode, 1);
    reader.flush();
    EXPECT_EQ(reader.mode, 0);
    EXPECT_EQ(reader.output, "\xB0\xA1??");
}

TEST(BabelEngine, JisModesResetAndWritersEndInAscii) {
    babel::sjis_to_jis_engine writer;
    writer.pending_input = "\x88\x9F\x88";
    writer.translate();
    EXPECT_EQ(writer.mode, 1);
    EXPECT_EQ(writer.output, "\x1B$B\x30\x21");
    writer.flush();
    // The escape back to ASCII comes before the substitute of the lone lead.
    EXPECT_EQ(writer.output, "\x1B$B\x30\x21\x1B(B?");
    EXPECT_EQ(writer.mode, 0);

    babel::euc_to_jis_engine euc_writer;
    euc_writer.pending_input = "\x8E\xB1";
    euc_writer.translate();
    EXPECT_EQ(euc_writer.mode, 2);
    euc_writer.clear();
    EXPECT_EQ(euc_writer.mode, 0);
    EXPECT_EQ(euc_writer.convert("a"), "a");

    // A complete last character in the shifted katakana and JIS X 0212 modes
    // is converted, not held back.
    EXPECT_EQ(babel::jis_to_sjis("\x0F\x31"), "\xB1");
    EXPECT_EQ(babel::jis_to_euc("\x1B$(D\x22\x37"), "\x8F\xA2\xB7");
    // A pair in JIS X 0208 takes whatever byte follows, even an ESC.
    EXPECT_EQ(babel::jis_to_euc("\x1B$B\x30\x1B"), "\xB0\x9B");
}

TEST(BabelEngine, ValidCodesWithoutIbmFormKeepTheirCharacter) {
    // The NEC-selected not-sign (EEF9) has EUC-JP code FCFB, which no IBM
    // code carries: it must come back as itself, not as "?" followed by a
    // byte pair misread from the rest of the text.
    EXPECT_EQ(babel::sjis_to_euc("\xEE\xF9"), "\xFC\xFB");
    EXPECT_EQ(babel::euc_to_sjis("\xFC\xFB\xA4\xA2"), "\xEE\xF9\x82\xA0");
    EXPECT_EQ(babel::jis_to_sjis(babel::sjis_to_jis("\xEE\xF9\x82\xA0")), "\xEE\xF9\x82\xA0");
    // An unassigned pair in the IBM area is one bad character: its trail
    // byte is not read again as the start of another pair.
    EXPECT_EQ(babel::sjis_to_euc("\xFC\xFC\x41"), "?A");
    EXPECT_EQ(babel::sjis_to_euc("\xFC\xFC\xFC\x41"), "?\xFC\xE4");  // FC41 is assigned
    EXPECT_EQ(babel::sjis_to_jis("\xFC\xFC"
                                 "A"),
              "?A");
}

TEST(BabelEngine, ComputedNulBytesStayInTheOutput) {
    // User-defined codes map by arithmetic to bytes outside EUC-JP, some 0.
    const std::string out =
        babel::sjis_to_euc(std::string("\xF0\x9F"
                                       "abc\xF0\x9F",
                                       7));
    EXPECT_EQ(out, std::string("\x00\xA1"
                               "abc\x00\xA1",
                               7));
}

}  // namespace
