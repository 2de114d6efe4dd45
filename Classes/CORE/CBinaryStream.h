#pragma once
// A growable in-memory byte stream. Writing appends into a list of blocks that grow
// geometrically, so bytes already written never move; whole block lists of another stream
// can be moved in front of or behind ours without copying. Reading works on one flat
// block (made by GetMemory, or the caller's bytes attached with SetBuffer) from a position.
#include <cstdint>
#include <list>

namespace kestrin {

class CBinaryStream {
public:
    // One block of bytes; an owned block frees its bytes when destroyed.
    class CMemoryInfo {
    public:
        CMemoryInfo() = default;
        // A view of another block: same bytes, not owned.
        explicit CMemoryInfo(const CMemoryInfo& other) : size(other.size), data(other.data), owned(false) {}
        // An owned block of the given size.
        explicit CMemoryInfo(int32_t allocate);
        // Borrowed caller bytes.
        CMemoryInfo(unsigned char* bytes, int32_t count) : size(count), data(bytes), owned(false) {}
        CMemoryInfo& operator=(const CMemoryInfo&) = delete;
        virtual ~CMemoryInfo();

        int32_t size = 0;
        unsigned char* data = nullptr;
        bool owned = false;
    };

    CBinaryStream() = default;
    CBinaryStream(const CBinaryStream&) = delete;
    CBinaryStream& operator=(const CBinaryStream&) = delete;
    virtual ~CBinaryStream();

    void Write(const void* data, unsigned size) { WriteEx(data, size, false); }
    void WriteEx(const void* data, unsigned size, bool atFront);
    void Append(CBinaryStream* other) { AppendEx(other, false); }
    // Moves other's blocks behind (or in front of) ours; other ends up cleared.
    // Nothing happens when either stream has no blocks.
    void AppendEx(CBinaryStream* other, bool atFront);

    // Flattens the written blocks into one block owned by the stream (valid until the next
    // GetMemory, SetBuffer, Clear or destruction); null when nothing was written.
    CMemoryInfo* GetMemory();
    // Reads the caller's bytes from position 0 (the caller keeps them alive).
    void SetBuffer(const void* data, unsigned size);
    // Copies size bytes at the position and advances; copies nothing (and returns true)
    // when fewer bytes remain.
    bool Read(void* buffer, unsigned size);
    void SetPosition(uint32_t position) { m_position = position; }
    uint32_t GetPosition() const { return m_position; }
    // Bytes between the read position and the end of the flat block (0 past its end).
    uint32_t GetRemaining() const;
    // The flat block being read, or null.
    const CMemoryInfo* GetFlat() const { return m_flat; }
    void Clear();

    // For inspection by tests: the block list and the last block's fill and free bytes.
    const std::list<CMemoryInfo*>& GetChunks() const { return m_chunks; }
    int32_t GetFill() const { return m_fill; }
    int32_t GetFree() const { return m_free; }

private:
    void TrimLast();

    std::list<CMemoryInfo*> m_chunks;
    CMemoryInfo* m_flat = nullptr;
    uint32_t m_position = 0;
    int32_t m_fill = 0;
    int32_t m_free = 0;
};

}  // namespace kestrin
