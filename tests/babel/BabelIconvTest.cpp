// Cross-checks the code tables against the C library's iconv(3), which
// carries its own copies of the published mappings. Every place where this
// system deliberately differs is listed as an expected exception.
#include <gtest/gtest.h>

#include <iconv.h>

#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "babel/babel.h"

namespace {

// One whole-string conversion through iconv; nullopt where iconv refuses.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::string> operator()(const std::string& in) const {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 4 + 16, '\0');
        char* src = const_cast<char*>(in.data());
        size_t src_left = in.size();
        char* dst = out.data();
        size_t dst_left = out.size();
        if (iconv(cd_, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1)) return std::nullopt;
        if (iconv(cd_, nullptr, nullptr, &dst, &dst_left) == static_cast<size_t>(-1)) return std::nullopt;
        out.resize(out.size() - dst_left);
        return out;
    }

private:
    iconv_t cd_;
};

std::string Utf16Le(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

// iconv's decoding of `bytes` as one UTF-16 unit, or 0 when refused or longer.
unsigned IconvUnit(const Iconv& cv, const std::string& bytes) {
    const auto r = cv(bytes);
    if (!r || r->size() != 2) return 0;
    return static_cast<unsigned char>((*r)[0]) | (static_cast<unsigned char>((*r)[1]) << 8);
}

// Our decoding as one unit, or 0 for the substitute.
unsigned OurUnit(const std::u16string& s) { return s.size() == 1 && s[0] != u'?' ? s[0] : 0; }

std::string Code(unsigned v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", v);
    return buf;
}

std::string Bytes(unsigned code) {
    std::string s;
    if (code > 0xFFFF) s.push_back(static_cast<char>(code >> 16));
    if (code > 0xFF) s.push_back(static_cast<char>((code >> 8) & 0xFF));
    s.push_back(static_cast<char>(code & 0xFF));
    return s;
}

TEST(BabelIconv, ShiftJisDecodingMatchesCp932) {
    Iconv cv("UTF-16LE", "CP932");
    ASSERT_TRUE(cv.ok());
    std::map<unsigned, std::pair<unsigned, unsigned>> diffs;  // code -> (ours, iconv)
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        const std::string s = Bytes(b);
        const unsigned ours = OurUnit(babel::sjis_cp932_to_unicode(s)), theirs = IconvUnit(cv, s);
        if (ours != theirs && !((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC))) diffs[b] = {ours, theirs};
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (unsigned t = 0x40; t <= 0xFC; ++t) {
            if (t == 0x7F) continue;
            const unsigned code = (lead << 8) | t;
            const std::string s = Bytes(code);
            const unsigned ours = OurUnit(babel::sjis_cp932_to_unicode(s)), theirs = IconvUnit(cv, s);
            if (ours != theirs) diffs[code] = {ours, theirs};
        }
    }
    std::string unexpected;
    for (const auto& [code, pair] : diffs) {
        // Single bytes 80, A0, FD-FF keep their number here; iconv refuses them.
        if ((code == 0x80 || code == 0xA0 || code >= 0xFD) && code <= 0xFF && pair.first == code && pair.second == 0)
            continue;
        // The user-defined area has no characters here; iconv gives private use.
        if (code >= 0xF040 && code <= 0xF9FC && pair.first == 0 && pair.second >= 0xE000 && pair.second <= 0xF8FF)
            continue;
        unexpected += " " + Code(code) + ":" + Code(pair.first) + "/" + Code(pair.second);
    }
    EXPECT_EQ(unexpected, "");
}

TEST(BabelIconv, ShiftJisEncodingAgreesOnEveryCharacter) {
    // iconv picks other codes where code page 932 has several for one
    // character (it prefers the IBM extensions), so compare characters:
    // whatever either side writes must decode back to the same unit.
    Iconv to_cp932("CP932", "UTF-16LE");
    Iconv from_cp932("UTF-16LE", "CP932");
    ASSERT_TRUE(to_cp932.ok() && from_cp932.ok());
    std::string unexpected;
    for (unsigned u = 0x80; u <= 0xFFFF; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        const std::u16string unit(1, static_cast<char16_t>(u));
        const std::string ours = babel::unicode_to_sjis_cp932(unit);
        const auto theirs = to_cp932(Utf16Le(unit));
        const bool ours_ok = ours != "?" && !ours.empty();
        // Private use: iconv writes the user-defined area, we drop it.
        if (u >= 0xE000 && u <= 0xF8FF) {
            if (!ours.empty()) unexpected += " " + Code(u) + ":kept";
            continue;
        }
        // Yen sign and overline: iconv folds them into 5C and 7E.
        if (u == 0xA5 || u == 0x203E) {
            if (ours != "?" || !theirs || theirs->size() != 1) unexpected += " " + Code(u);
            continue;
        }
        if (ours_ok != theirs.has_value()) {
            unexpected += " " + Code(u) + (ours_ok ? ":only-ours" : ":only-iconv");
            continue;
        }
        if (!ours_ok) continue;
        // The seven JIS characters that code page 932 shows as others
        // (U+301C wave dash as U+FF5E, ...) encode to the same code.
        const unsigned back = IconvUnit(from_cp932, ours);
        const bool extra =
            u == 0xA2 || u == 0xA3 || u == 0xAC || u == 0x2014 || u == 0x2016 || u == 0x2212 || u == 0x301C;
        if (extra ? (ours != *theirs) : (back != u || OurUnit(babel::sjis_cp932_to_unicode(*theirs)) != u))
            unexpected += " " + Code(u) + ":" + Code(back);
    }
    EXPECT_EQ(unexpected, "");
}

// Shift_JIS code of a JIS row and cell (both 1-based).
unsigned RowCellToSjis(unsigned row, unsigned cell) {
    const unsigned lead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
    unsigned trail;
    if (row & 1)
        trail = cell + (cell <= 63 ? 0x3F : 0x40);
    else
        trail = cell + 0x9E;
    return (lead << 8) | trail;
}

TEST(BabelIconv, EucDecodingMatchesEucJp) {
    Iconv cv("UTF-16LE", "EUC-JP");
    Iconv cp932("UTF-16LE", "CP932");
    ASSERT_TRUE(cv.ok() && cp932.ok());
    // The six codes that follow code page 932's choices instead of JIS.
    const std::set<unsigned> cp932_choices = {0xA1C1, 0xA1C2, 0xA1DD, 0xA1F1, 0xA1F2, 0xA2CC};
    std::string unexpected;
    std::set<unsigned> differing_choices, duplicates;
    for (unsigned lead = 0x8E; lead <= 0xFE; ++lead) {
        if (lead != 0x8E && lead < 0xA1) continue;
        for (unsigned t = 0xA1; t <= 0xFE; ++t) {
            const unsigned code = (lead << 8) | t;
            const std::string s = Bytes(code);
            const unsigned ours = OurUnit(babel::euc_to_unicode(s));
            // The NEC row 13 and the NEC-selected rows 89-92 are not JIS:
            // they carry code page 932's characters by row and cell.
            const bool ms_rows = lead == 0xAD || (lead >= 0xF9 && lead <= 0xFC);
            const unsigned theirs =
                ms_rows ? IconvUnit(cp932, Bytes(RowCellToSjis(lead - 0xA0, t - 0xA0))) : IconvUnit(cv, s);
            if (ours == theirs) continue;
            if (cp932_choices.count(code) && ours && theirs) {
                differing_choices.insert(code);
                continue;
            }
            // Codes whose character another code already carries have none here.
            if (ms_rows && ours == 0 &&
                OurUnit(babel::euc_to_unicode(babel::unicode_to_euc(std::u16string(1, char16_t(theirs))))) == theirs) {
                duplicates.insert(code);
                continue;
            }
            unexpected += " " + Code(code) + ":" + Code(ours) + "/" + Code(theirs);
        }
    }
    for (unsigned b1 = 0xA1; b1 <= 0xFE; ++b1) {
        for (unsigned b2 = 0xA1; b2 <= 0xFE; ++b2) {
            const unsigned code = 0x8F0000 | (b1 << 8) | b2;
            const std::string s = Bytes(code);
            const unsigned ours = OurUnit(babel::euc_to_unicode(s)), theirs = IconvUnit(cv, s);
            // JIS X 0212 0x2237 is the tilde of the published table; iconv
            // gives the full-width tilde.
            if (ours != theirs && !(code == 0x8FA2B7 && ours == 0x7E && theirs == 0xFF5E))
                unexpected += " " + Code(code) + ":" + Code(ours) + "/" + Code(theirs);
        }
    }
    EXPECT_EQ(unexpected, "");
    EXPECT_EQ(differing_choices, cp932_choices);
    const std::set<unsigned> expected_duplicates = {0xADF0, 0xADF1, 0xADF2, 0xADF5, 0xADF6,
                                                    0xADF7, 0xADFA, 0xADFB, 0xADFC, 0xFCFB};
    EXPECT_EQ(duplicates, expected_duplicates);
}

TEST(BabelIconv, Iso2022JpMatchesOutsideHalfWidthKatakana) {
    Iconv to_jis("ISO-2022-JP", "CP932");
    Iconv from_jis("CP932", "ISO-2022-JP");
    ASSERT_TRUE(to_jis.ok() && from_jis.ok());
    // "Kestrin: 日本語のテキスト、漢字とかな。ABC" in Shift_JIS.
    const std::string text =
        "Kestrin: \x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67\x81\x41"
        "\x8A\xBF\x8E\x9A\x82\xC6\x82\xA9\x82\xC8\x81\x42"
        "ABC";
    const auto theirs = to_jis(text);
    ASSERT_TRUE(theirs);
    EXPECT_EQ(babel::sjis_to_jis(text), *theirs);
    EXPECT_EQ(babel::jis_to_sjis(*theirs), text);
    // Half-width katakana: written here with ESC ( I, which plain
    // ISO-2022-JP lacks (iconv refuses to write it and does not read it);
    // ISO-2022-JP-3 writes it the same way.
    Iconv to_jis3("ISO-2022-JP-3", "CP932");
    ASSERT_TRUE(to_jis3.ok());
    const std::string kana = "\xB1\xB2";
    EXPECT_FALSE(to_jis(kana));
    const std::string jis_kana = babel::sjis_to_jis(kana);
    EXPECT_EQ(jis_kana, "\x1B(I12\x1B(B");
    EXPECT_EQ(to_jis3(kana), jis_kana);
    EXPECT_NE(from_jis(jis_kana), kana);
    EXPECT_EQ(babel::jis_to_sjis(jis_kana), kana);
}

}  // namespace
