// The seven code tables: lookup, sizes, telling rows, and that every entry
// survives a round trip through the engines.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "babel/babel.h"
#include "babel/code_table.h"

namespace {

using babel::code_table;

int CountEntries(const code_table& t) {
    int n = 0;
    for (int k = 0; k <= 0xFFFF; ++k) n += t.find(k) != 0;
    return n;
}

std::string Bytes(unsigned code) {
    std::string s;
    if (code > 0xFFFF) s.push_back(static_cast<char>(code >> 16));
    if (code > 0xFF) s.push_back(static_cast<char>((code >> 8) & 0xFF));
    s.push_back(static_cast<char>(code & 0xFF));
    return s;
}

unsigned Code(const std::string& s) {
    unsigned v = 0;
    for (unsigned char c : s) v = (v << 8) | c;
    return v;
}

TEST(BabelTables, FindOutsideTheKeyRangeOrInNullPagesIsZero) {
    EXPECT_EQ(babel::sjis_cp932_to_unicode_table.find(0x10000), 0);
    EXPECT_EQ(babel::sjis_cp932_to_unicode_table.find(-1), 0);
    EXPECT_EQ(babel::sjis_cp932_to_unicode_table.find(0x4141), 0);  // null page
    EXPECT_EQ(babel::sjis_cp932_to_unicode_table.find(0x41), 0);    // no ASCII entries
    EXPECT_EQ(babel::sjis_cp932_to_unicode_table.find(0x80), 0);
    EXPECT_EQ(babel::sjis_cp932_to_unicode_table.find(0xF040), 0);  // user-defined
    EXPECT_EQ(babel::unicode_to_euc_table.find(0x10000), 0);
}

TEST(BabelTables, EntryCounts) {
    EXPECT_EQ(CountEntries(babel::sjis_cp932_to_unicode_table), 7787);
    EXPECT_EQ(CountEntries(babel::unicode_to_sjis_cp932_table), 7396);
    EXPECT_EQ(CountEntries(babel::euc_to_unicode_table), 7389);
    EXPECT_EQ(CountEntries(babel::euc_jisx0212_to_unicode_table), 6067);
    EXPECT_EQ(CountEntries(babel::unicode_to_euc_table), 13176);
    EXPECT_EQ(CountEntries(babel::sjis_ibm_to_euc_table), 388);
    EXPECT_EQ(CountEntries(babel::euc_to_sjis_ibm_table), 388);
}

TEST(BabelTables, TellingRows) {
    struct Row {
        const code_table* table;
        int key;
        int value;
    };
    const Row rows[] = {
        {&babel::sjis_cp932_to_unicode_table, 0x815C, 0x2015},
        {&babel::sjis_cp932_to_unicode_table, 0x815F, 0xFF3C},
        {&babel::sjis_cp932_to_unicode_table, 0x8160, 0xFF5E},
        {&babel::sjis_cp932_to_unicode_table, 0x8161, 0x2225},
        {&babel::sjis_cp932_to_unicode_table, 0x817C, 0xFF0D},
        {&babel::sjis_cp932_to_unicode_table, 0x8191, 0xFFE0},
        {&babel::sjis_cp932_to_unicode_table, 0x8192, 0xFFE1},
        {&babel::sjis_cp932_to_unicode_table, 0x81CA, 0xFFE2},
        {&babel::sjis_cp932_to_unicode_table, 0x8790, 0x2252},
        {&babel::sjis_cp932_to_unicode_table, 0x81E0, 0x2252},
        {&babel::sjis_cp932_to_unicode_table, 0xA1, 0xFF61},
        {&babel::sjis_cp932_to_unicode_table, 0xDF, 0xFF9F},
        {&babel::unicode_to_sjis_cp932_table, 0xFF5E, 0x8160},
        {&babel::unicode_to_sjis_cp932_table, 0x301C, 0x8160},
        {&babel::unicode_to_sjis_cp932_table, 0x2252, 0x81E0},
        {&babel::unicode_to_sjis_cp932_table, 0xFFE2, 0x81CA},
        {&babel::unicode_to_sjis_cp932_table, 0x2235, 0x81E6},
        {&babel::unicode_to_sjis_cp932_table, 0x2160, 0x8754},
        {&babel::unicode_to_sjis_cp932_table, 0x2170, 0xEEEF},
        {&babel::unicode_to_sjis_cp932_table, 0x7E8A, 0xED40},
        {&babel::unicode_to_sjis_cp932_table, 0x00A2, 0x8191},
        {&babel::unicode_to_sjis_cp932_table, 0x00A3, 0x8192},
        {&babel::unicode_to_sjis_cp932_table, 0x00AC, 0x81CA},
        {&babel::unicode_to_sjis_cp932_table, 0x2014, 0x815C},
        {&babel::unicode_to_sjis_cp932_table, 0x2016, 0x8161},
        {&babel::unicode_to_sjis_cp932_table, 0x2212, 0x817C},
        {&babel::unicode_to_sjis_cp932_table, 0x00A5, 0},
        {&babel::unicode_to_sjis_cp932_table, 0x203E, 0},
        {&babel::euc_to_unicode_table, 0xA1C1, 0xFF5E},
        {&babel::euc_to_unicode_table, 0xA1C2, 0x2225},
        {&babel::euc_to_unicode_table, 0xA1DD, 0xFF0D},
        {&babel::euc_to_unicode_table, 0xA1F1, 0xFFE0},
        {&babel::euc_to_unicode_table, 0xA1F2, 0xFFE1},
        {&babel::euc_to_unicode_table, 0xA2CC, 0xFFE2},
        {&babel::euc_to_unicode_table, 0xA2E2, 0x2252},
        {&babel::euc_to_unicode_table, 0xADF0, 0},
        {&babel::euc_to_unicode_table, 0xFCFB, 0},
        {&babel::euc_to_unicode_table, 0x8EB1, 0xFF71},
        {&babel::euc_jisx0212_to_unicode_table, 0xA2B7, 0x007E},
        {&babel::unicode_to_euc_table, 0xFF5E, 0xA1C1},
        {&babel::unicode_to_euc_table, 0x301C, 0},
        {&babel::unicode_to_euc_table, 0x2252, 0xA2E2},
        {&babel::unicode_to_euc_table, 0x00A1, 0x8FA2C2},
        {&babel::unicode_to_euc_table, 0x007E, 0x8FA2B7},
        {&babel::unicode_to_euc_table, 0x2116, 0xADE2},
        {&babel::sjis_ibm_to_euc_table, 0xFA40, 0xFCF1},
        {&babel::sjis_ibm_to_euc_table, 0xFA5C, 0xF9A1},
        {&babel::sjis_ibm_to_euc_table, 0xFC4B, 0xFCEE},
        {&babel::sjis_ibm_to_euc_table, 0xFA4A, 0xADB5},
        {&babel::sjis_ibm_to_euc_table, 0xFA53, 0xADBE},
        {&babel::sjis_ibm_to_euc_table, 0xFA58, 0xADEA},
        {&babel::sjis_ibm_to_euc_table, 0xFA59, 0xADE2},
        {&babel::sjis_ibm_to_euc_table, 0xFA5A, 0xADE4},
        {&babel::sjis_ibm_to_euc_table, 0xFA54, 0xA2CC},
        {&babel::sjis_ibm_to_euc_table, 0xFA5B, 0xA2E8},
        {&babel::euc_to_sjis_ibm_table, 0xFCF1, 0xFA40},
    };
    for (const Row& r : rows) EXPECT_EQ(r.table->find(r.key), r.value) << std::hex << r.key;
    for (int u : {0x00A2, 0x00A3, 0x00AC, 0x2014, 0x2016, 0x2212, 0x301C})
        EXPECT_EQ(babel::unicode_to_euc_table.find(u), 0) << std::hex << u;
}

TEST(BabelTables, ShiftJisEntriesRoundTrip) {
    for (int code = 0; code <= 0xFFFF; ++code) {
        const int u = babel::sjis_cp932_to_unicode_table.find(code);
        if (!u) continue;
        const std::u16string unit(1, static_cast<char16_t>(u));
        ASSERT_EQ(babel::sjis_cp932_to_unicode(Bytes(code)), unit) << std::hex << code;
        // Back to one code of the same character (never an IBM extension).
        const std::string back = babel::unicode_to_sjis_cp932(unit);
        ASSERT_LT(Code(back), 0xFA40u) << std::hex << code;
        ASSERT_EQ(babel::sjis_cp932_to_unicode(back), unit) << std::hex << code;
        // Through UTF-8 as the var tag does it.
        ASSERT_EQ(babel::utf8_to_sjis(babel::sjis_to_utf8(Bytes(code))), back) << std::hex << code;
        // Through EUC-JP and ISO-2022-JP by row and cell: the same character.
        const std::string euc = babel::sjis_to_euc(Bytes(code));
        ASSERT_EQ(babel::sjis_cp932_to_unicode(babel::euc_to_sjis(euc)), unit) << std::hex << code;
        ASSERT_EQ(babel::jis_to_euc(babel::sjis_to_jis(Bytes(code))), euc) << std::hex << code;
        ASSERT_EQ(babel::jis_to_sjis(babel::sjis_to_jis(Bytes(code))), babel::euc_to_sjis(euc)) << std::hex << code;
        const std::u16string via_euc = babel::euc_to_unicode(euc);
        if (via_euc != unit) {
            // Only the codes whose character another code carries.
            ASSERT_EQ(via_euc, u"?") << std::hex << code;
            ASSERT_EQ(babel::euc_to_unicode(babel::unicode_to_euc(unit)), unit) << std::hex << code;
        }
    }
    for (int u = 0x80; u <= 0xFFFF; ++u) {
        const int code = babel::unicode_to_sjis_cp932_table.find(u);
        if (!code) continue;
        const std::u16string decoded = babel::sjis_cp932_to_unicode(Bytes(static_cast<unsigned>(code)));
        const bool jis_extra =
            u == 0xA2 || u == 0xA3 || u == 0xAC || u == 0x2014 || u == 0x2016 || u == 0x2212 || u == 0x301C;
        if (!jis_extra) {
            ASSERT_EQ(decoded, std::u16string(1, static_cast<char16_t>(u))) << std::hex << u;
        }
    }
}

TEST(BabelTables, EucEntriesRoundTrip) {
    std::set<int> values;
    for (int code = 0; code <= 0xFFFF; ++code) {
        const int u = babel::euc_to_unicode_table.find(code);
        if (!u) continue;
        EXPECT_TRUE(values.insert(u).second) << "value twice: " << std::hex << u;
        const std::u16string unit(1, static_cast<char16_t>(u));
        ASSERT_EQ(babel::euc_to_unicode(Bytes(code)), unit) << std::hex << code;
        ASSERT_EQ(babel::unicode_to_euc(unit), Bytes(code)) << std::hex << code;
        ASSERT_EQ(babel::euc_to_utf8(Bytes(code)), babel::unicode_to_utf8(unit)) << std::hex << code;
        ASSERT_EQ(babel::jis_to_euc(babel::euc_to_jis(Bytes(code))), Bytes(code)) << std::hex << code;
        // The Shift_JIS form carries the same character.
        ASSERT_EQ(babel::sjis_cp932_to_unicode(babel::euc_to_sjis(Bytes(code))), unit) << std::hex << code;
    }
    int both = 0;
    for (int key = 0; key <= 0xFFFF; ++key) {
        const int u = babel::euc_jisx0212_to_unicode_table.find(key);
        if (!u) continue;
        const std::u16string unit(1, static_cast<char16_t>(u));
        const std::string euc = Bytes(0x8F0000u | static_cast<unsigned>(key));
        ASSERT_EQ(babel::euc_to_unicode(euc), unit) << std::hex << key;
        ASSERT_EQ(babel::jis_to_euc(babel::euc_to_jis(euc)), euc) << std::hex << key;
        const std::string back = babel::unicode_to_euc(unit);
        if (back != euc) {
            // Characters also in the two-byte rows take the two-byte code; the
            // tilde is ASCII.
            ASSERT_TRUE(back.size() == 2 || back == "~") << std::hex << key;
            both += back.size() == 2;
        }
        ASSERT_EQ(babel::euc_to_unicode(back), unit) << std::hex << key;
    }
    EXPECT_EQ(both, 280);
}

TEST(BabelTables, IbmTablesAreInverse) {
    for (int code = 0xFA40; code <= 0xFC4B; ++code) {
        const int euc = babel::sjis_ibm_to_euc_table.find(code);
        if (!euc) {
            EXPECT_EQ(babel::sjis_cp932_to_unicode_table.find(code), 0) << std::hex << code;
            continue;
        }
        EXPECT_EQ(babel::euc_to_sjis_ibm_table.find(euc), code) << std::hex << code;
        // The EUC code carries the IBM code's character.
        EXPECT_EQ(babel::euc_to_unicode_table.find(euc), babel::sjis_cp932_to_unicode_table.find(code))
            << std::hex << code;
    }
}

}  // namespace
