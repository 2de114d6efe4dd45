#include "CORE/StringHelpers.h"
#include "Application/PlatformServicesScope.h"
#include "CORE/Platform/HeadlessShellOpener.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace kestrin;

namespace {
std::vector<std::string> Split(const char* text, const std::string& sep, const std::string& esc = "") {
    std::vector<std::string> out;
    SplitStringStripping(text, out, sep, esc);
    return out;
}
using Pieces = std::vector<std::string>;

// Shift_JIS made with iconv -t CP932: "ソ表能" are 83 5C, 95 5C, 94 5C (trail byte = '\').
const char kSjisSoHyouNou[] = "\x83\x5c\x95\x5c\x94\x5c";
}  // namespace

TEST(StringHelpers, LeadBytesByEncoding) {
    int trail = -1;
    EXPECT_TRUE(IsLeadByte(0x81, &trail, 0));
    EXPECT_EQ(trail, 1);
    EXPECT_TRUE(IsLeadByte(0xFC, nullptr, 0));
    EXPECT_FALSE(IsLeadByte(0xA0, nullptr, 0));  // half-width kana are single bytes
    EXPECT_FALSE(IsLeadByte(0x5C, nullptr, 0));
    EXPECT_TRUE(IsLeadByte(0x8E, nullptr, 1));
    EXPECT_TRUE(IsLeadByte(0xF4, nullptr, 1));
    EXPECT_FALSE(IsLeadByte(0xF5, nullptr, 1));
    EXPECT_TRUE(IsLeadByte(0xE3, &trail, 2));
    EXPECT_EQ(trail, 2);
    EXPECT_TRUE(IsLeadByte(0x81, &trail, 2));  // continuation byte: a lead with no trail
    EXPECT_EQ(trail, 0);
    EXPECT_TRUE(IsLeadByte(0xFF, &trail, 2));
    EXPECT_EQ(trail, 7);
    trail = -1;
    EXPECT_FALSE(IsLeadByte('a', &trail, 2));
    EXPECT_FALSE(IsLeadByte(0x82, &trail, 7));
    EXPECT_EQ(trail, -1);  // untouched when not a lead
}

TEST(StringHelpers, BytePositionKind) {
    const char* sjis =
        "\x82\xa0"
        "a";
    EXPECT_EQ(GetBytePositionKind(sjis, 0, 0), 1);
    EXPECT_EQ(GetBytePositionKind(sjis, 1, 0), 2);
    EXPECT_EQ(GetBytePositionKind(sjis, 2, 0), 0);
    EXPECT_EQ(GetBytePositionKind(sjis, 3, 0), -1);
    EXPECT_EQ(GetBytePositionKind(sjis, -1, 0), -1);
    const char* utf8 =
        "\xe3\x81\x82"
        "a";
    EXPECT_EQ(GetBytePositionKind(utf8, 0, 2), 1);
    EXPECT_EQ(GetBytePositionKind(utf8, 1, 2), 2);
    EXPECT_EQ(GetBytePositionKind(utf8, 2, 2), 3);
    EXPECT_EQ(GetBytePositionKind(utf8, 3, 2), 0);
    // A lead byte cut off by the end: the missing trail is not in the text.
    EXPECT_EQ(GetBytePositionKind("a\x82", 1, 0), 1);
    EXPECT_EQ(GetBytePositionKind("a\x82", 2, 0), -1);
    EXPECT_EQ(GetBytePositionKind(kSjisSoHyouNou, 5, 0), 2);
}

TEST(StringHelpers, SplitTable) {
    struct Case {
        const char* text;
        const char* sep;
        const char* esc;
        Pieces expected;
    } cases[] = {
        {"a,,b", ",", "", {"a", "", "b"}},
        {",a,", ",", "", {"", "a", ""}},
        {"", ",", "", {""}},
        {"a::b::", "::", "", {"a", "b", ""}},
        {"a:", "::", "", {"a", ""}},  // text ending inside the separator counts as a match
        {"a\\,b,c", ",", "\\", {"a,b", "c"}},
        {"a\\\\b", ",", "\\", {"a\\b"}},  // doubled escape gives one literal
        {"ab\\", ",", "\\", {"ab"}},      // trailing escape dropped
        {"l1\r\nl2\r\n", "\n", "\r", {"l1", "l2", ""}},
        {"a,b", "", "", {"a,b"}},  // empty separator: one piece, and the split ends
        {"x\\,y", "", "\\", {"x,y"}},
        // Shift_JIS trail bytes 0x5C are not escapes or separators.
        {"\x83\x5c,\x95\x5c", "\\", "", {"\x83\x5c,\x95\x5c"}},
        {"\x83\x5c,\x95\x5c", ",", "\\", {"\x83\x5c", "\x95\x5c"}},
        {"a\x83", ",", "", {"a\x83"}},  // lead byte cut off at the end is kept
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Split(c.text, c.sep, c.esc), c.expected) << "text: " << c.text << " sep: " << c.sep;
    }
    std::vector<std::string> out = {"keep"};
    SplitString("p,q", out, ",");
    EXPECT_EQ(out, (Pieces{"keep", "p", "q"}));
}

TEST(StringHelpers, JoinAppends) {
    std::string out = ">";
    JoinStrings({"a", "", "b"}, out, ", ");
    EXPECT_EQ(out, ">a, , b");
    JoinStrings({}, out, ",");
    EXPECT_EQ(out, ">a, , b");
}

TEST(StringHelpers, ReplaceAllSkipsShiftJisTrailBytes) {
    EXPECT_EQ(StringReplaceAll("a/b/c", "/", "\\"), "a\\b\\c");
    const std::string path = std::string("dir\\") + kSjisSoHyouNou + "\\x.png";
    EXPECT_EQ(StringReplaceAll(path, "\\", "/"), std::string("dir/") + kSjisSoHyouNou + "/x.png");
    EXPECT_EQ(StringReplaceAll("aaa", "a", "aa"), "aaaaaa");  // replaced text is not searched again
    EXPECT_EQ(StringReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(StringReplaceAll("xx", "x", ""), "");
    // A match that starts on a trail byte and runs past it: "\x5c\x83" inside "\x83\x5c\x83\x5c".
    EXPECT_EQ(StringReplaceAll("\x83\x5c\x83\x5c", "\x5c\x83", "!"), "\x83\x5c\x83\x5c");
}

TEST(StringHelpers, FindCharMultibyte) {
    std::string before = "old";
    const char* text =
        "\x83\x5c"
        "a.b";
    const char* p = FindCharMultibyte(text, '\\', 0, &before);
    EXPECT_EQ(*p, '\0');
    EXPECT_EQ(before, text);
    p = FindCharMultibyte(text, '.', 0, &before);
    EXPECT_EQ(p, text + 3);
    EXPECT_EQ(before,
              "\x83\x5c"
              "a");
    EXPECT_EQ(*FindCharMultibyte("ab\x83", 'z', 0, nullptr), '\0');
    const char* u = "\xe3\x81\x82:x";
    EXPECT_EQ(FindCharMultibyte(u, ':', 2, nullptr), u + 3);
}

TEST(StringHelpers, LowerCaseAndEquals) {
    EXPECT_EQ(ToLowerString("ABC\x83\x41Z"), "abc\x83\x41z");  // 0x41 after a lead stays
    EXPECT_EQ(ToLowerString("X\x83"), "x\x83");
    EXPECT_TRUE(StringEquals("abc", "abc"));
    EXPECT_FALSE(StringEquals("abc", "abd"));
    EXPECT_FALSE(StringEquals(std::string("a\0b", 3), "a"));
}

TEST(StringHelpers, NumberText) {
    EXPECT_EQ(IntToString(-2147483647 - 1), "-2147483648");
    EXPECT_EQ(IntToString(42), "42");
    EXPECT_EQ(IntToHexString(255, true, true), "0xFF");
    EXPECT_EQ(IntToHexString(255, true, false), "0xff");
    EXPECT_EQ(IntToHexString(-1, false, true), "FFFFFFFF");
    EXPECT_EQ(LongToHexString(-1, false, false), "ffffffff");  // 32-bit, not 16 digits
    EXPECT_EQ(LongToHexString(0x1A2B, true, true), "0x1A2B");
    EXPECT_EQ(LongToString(-5), "-5");
}

TEST(StringHelpers, Base64MatchesCoreutils) {
    // Expected values from coreutils base64.
    EXPECT_EQ(Base64Encode("", 0), "");
    EXPECT_EQ(Base64Encode("f", 1), "Zg==");
    EXPECT_EQ(Base64Encode("fo", 2), "Zm8=");
    EXPECT_EQ(Base64Encode("foobar", 6), "Zm9vYmFy");
    EXPECT_EQ(Base64Encode("\x00\x01\x02\xff\xfe", 5), "AAEC//4=");
}

TEST(StringHelpers, HmacSha1MatchesRfc2202AndOpenssl) {
    // RFC 2202 test cases 1, 3, 4, 6, 7 (digests converted to Base64), and two made with
    // `openssl dgst -sha1 -hmac KEY -binary | base64`.
    struct Case {
        std::string key, message, expected;
    } cases[] = {
        {std::string(20, '\x0b'), "Hi There", "thcxhlUFcmTii8C2+zeMjvFGvgA="},
        {std::string(20, '\xaa'), std::string(50, '\xdd'), "El1zQrmsEc2Ro5r0iqF7T2PxddM="},
        {"\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19",
         std::string(50, '\xcd'), "TJAH9AJiUMa8hBT5v1DIbC1yNdo="},
        {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
         "qkrl4VJy0A6VcFY3zoo7Ve1AIRI="},
        {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
         "6OmdD0UjfXhta7qnllx4CLv/GpE="},
        {"key-that-is-twenty-b", "The quick brown fox jumps over the lazy dog", "7QeIOl21iSnh872QV35cBvrMWcE="},
        {std::string(80, 'k'), "msg", "UAR9RkU5UQ+7uQ6tYAzRcON72P4="},
    };
    for (const Case& c : cases) EXPECT_EQ(HmacSha1Base64(c.key, c.message), c.expected) << c.message;
    EXPECT_EQ(HmacSha1Base64(std::string(19, 'k'), "msg"), "");
}

TEST(StringHelpers, UrlCoding) {
    EXPECT_EQ(UrlEncode("a b~-._Z9"), "a%20b~-._Z9");
    EXPECT_EQ(UrlEncode("\x83\x5c/"), "%83%5C%2F");
    EXPECT_EQ(UrlDecode("a+b%41%7e"), "a bA~");
    EXPECT_EQ(UrlDecode("%zz!"), std::string("\0!", 2));  // unreadable hex counts as 0
    EXPECT_EQ(UrlDecode("%4g"), "\x04");
    EXPECT_EQ(UrlDecode("x%4"), "x\x04");  // short escape ends the decoding
    EXPECT_EQ(UrlDecode("x%"), std::string("x\0", 2));
    EXPECT_EQ(UrlDecode(UrlEncode("\x83\x5c ~+")), "\x83\x5c ~+");
}

TEST(StringHelpers, PercentToFixed16) {
    EXPECT_EQ(PercentToFixed16(100), 65536);
    EXPECT_EQ(PercentToFixed16(150), 98304);
    EXPECT_EQ(PercentToFixed16(33), 21626);
    EXPECT_EQ(PercentToFixed16(-50), -32768);
    EXPECT_EQ(PercentToFixed16(-150), -98304);
    EXPECT_EQ(PercentToFixed16(2147483647), 2147483647);  // clamps instead of overflowing
    EXPECT_EQ(PercentToFixed16(-2147483647 - 1), -2147483647 - 1);
}

// The opener gets one UTF-8 target argument that it cannot take for an option.
TEST(StringHelpers, OpenWithShellArgumentVector) {
    struct Case {
        const char* charset;
        const char* target;
        const char* argument;
    } cases[] = {
        {"", "https://example.com/a b;$(touch x)", "https://example.com/a b;$(touch x)"},
        {"", "\x83\x5c\x95\x5c.html", "\xe3\x82\xbd\xe8\xa1\xa8.html"},  // ソ表 from Shift_JIS
        {"utf-8", "\xe3\x82\xbd.html", "\xe3\x82\xbd.html"},
        {"", "-x.html", "./-x.html"},
        {"utf-8", "--help", "./--help"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        kestrin_test::ScopedCharset charset(c.charset);
        HeadlessShellOpener fake;
        SPlatformServices services = PlatformServicesInEffect();
        services.shellOpener = Unowned(fake);
        std::optional<PlatformServicesScope> scope(std::in_place, services);
        OpenWithShell(c.target);
        scope.reset();
        EXPECT_EQ(fake.runs, (std::vector<std::vector<std::string>>{{"xdg-open", c.argument}}));
    }
    HeadlessShellOpener fake;
    SPlatformServices services = PlatformServicesInEffect();
    services.shellOpener = Unowned(fake);
    std::optional<PlatformServicesScope> scope(std::in_place, services);
    OpenWithShell("");
    scope.reset();
    EXPECT_TRUE(fake.runs.empty());
}

TEST(StringHelpers, PathElementsAndJoins) {
    struct Case {
        const char* path;
        Pieces elements;
        bool climbed;  // a ".." found nothing to take away
    } cases[] = {
        {"/a//./b/", {"a", "b"}, false}, {"a/b/../c", {"a", "c"}, false}, {"a/../..", {}, true},
        {"../a", {"a"}, true},           {"a/..b/..", {"a"}, false},
    };
    for (const Case& c : cases) {
        bool climbed = !c.climbed;
        EXPECT_EQ(CollapsePathElements(c.path, &climbed), c.elements) << c.path;
        EXPECT_EQ(climbed, c.climbed) << c.path;
    }
    EXPECT_EQ(JoinPath("", "a"), "a");
    EXPECT_EQ(JoinPath("/", "a"), "/a");
    EXPECT_EQ(JoinPath("sv/", "a"), "sv/a");
    EXPECT_EQ(JoinPath("sv", "a"), "sv/a");
}
