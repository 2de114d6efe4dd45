#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "CORE/CBinaryStream.h"

using kestrin::CBinaryStream;

namespace {
std::string Flat(CBinaryStream& s) {
    CBinaryStream::CMemoryInfo* m = s.GetMemory();
    return m ? std::string(reinterpret_cast<char*>(m->data), static_cast<size_t>(m->size)) : std::string();
}
}  // namespace

TEST(CBinaryStream, ChunkGrowth) {
    std::string big(3000, 'x');
    CBinaryStream a;
    a.Write(big.data(), 3000);
    ASSERT_EQ(a.GetChunks().size(), 1u);
    EXPECT_EQ(a.GetChunks().front()->size, 3000);
    EXPECT_EQ(a.GetFree(), 0);

    CBinaryStream b;
    b.Write(big.data(), 10);
    ASSERT_EQ(b.GetChunks().size(), 1u);
    EXPECT_EQ(b.GetChunks().front()->size, 1024);
    EXPECT_EQ(b.GetFill(), 10);
    EXPECT_EQ(b.GetFree(), 1014);

    CBinaryStream c;
    for (int i = 0; i < 1024; ++i) c.Write("a", 1);
    EXPECT_EQ(c.GetChunks().size(), 1u);
    c.Write("b", 1);
    ASSERT_EQ(c.GetChunks().size(), 2u);
    EXPECT_EQ(c.GetChunks().back()->size, 2048);
    EXPECT_EQ(c.GetPosition(), 1025u);

    // A write that straddles a block boundary keeps every byte in order.
    CBinaryStream d;
    std::string text;
    for (int i = 0; i < 5000; ++i) text.push_back(static_cast<char>('a' + i % 26));
    d.Write(text.data(), 1000);
    d.Write(text.data() + 1000, 4000);
    EXPECT_EQ(Flat(d), text);
}

TEST(CBinaryStream, FrontWritesAndMoves) {
    CBinaryStream s;
    std::string body(100, 'b');
    s.Write(body.data(), 100);
    s.WriteEx("HEAD", 4, true);
    EXPECT_EQ(s.GetPosition(), 104u);
    EXPECT_EQ(Flat(s), "HEAD" + body);

    // Moving into or out of an empty stream changes neither.
    CBinaryStream empty, full;
    full.Write("xyz", 3);
    empty.Append(&full);
    EXPECT_TRUE(empty.GetChunks().empty());
    EXPECT_EQ(Flat(full), "xyz");
    full.Append(&empty);
    EXPECT_EQ(Flat(full), "xyz");

    CBinaryStream a, b, c;
    a.Write("middle", 6);
    b.Write("end", 3);
    c.Write("start-", 6);
    a.Append(&b);
    a.AppendEx(&c, true);
    EXPECT_TRUE(b.GetChunks().empty());
    EXPECT_TRUE(c.GetChunks().empty());
    EXPECT_EQ(a.GetPosition(), 15u);
    EXPECT_EQ(Flat(a), "start-middleend");
    // Writing after a move starts a fresh block and keeps the order.
    a.Write("!", 1);
    EXPECT_EQ(Flat(a), "start-middleend!");
}

TEST(CBinaryStream, ReadingAndClearing) {
    CBinaryStream s;
    EXPECT_EQ(s.GetMemory(), nullptr);
    s.Write("abc", 3);
    s.Clear();
    EXPECT_EQ(s.GetMemory(), nullptr);

    const unsigned char bytes[7] = {1, 2, 3, 4, 5, 6, 7};
    s.SetBuffer(bytes, 7);
    unsigned char out[4] = {9, 9, 9, 9};
    EXPECT_FALSE(s.Read(out, 4));
    EXPECT_EQ(out[3], 4);
    EXPECT_EQ(s.GetPosition(), 4u);
    std::memset(out, 9, 4);
    EXPECT_TRUE(s.Read(out, 4));  // 3 bytes left: nothing copied, position kept
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(s.GetPosition(), 4u);
    // Positions and sizes near the top of the range never wrap around.
    s.SetPosition(0xFFFFFFFEu);
    EXPECT_TRUE(s.Read(out, 4));
    EXPECT_EQ(s.GetRemaining(), 0u);
    s.SetPosition(2);
    EXPECT_TRUE(s.Read(out, 0xFFFFFFFFu));
}
