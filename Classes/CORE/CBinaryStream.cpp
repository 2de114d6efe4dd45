#include "CORE/CBinaryStream.h"

#include <algorithm>
#include <cstring>

namespace kestrin {

CBinaryStream::CMemoryInfo::CMemoryInfo(int32_t allocate)
    : size(allocate), data(new unsigned char[allocate > 0 ? allocate : 1]), owned(true) {}

CBinaryStream::CMemoryInfo::~CMemoryInfo() {
    if (owned) delete[] data;
}

CBinaryStream::~CBinaryStream() { Clear(); }

void CBinaryStream::WriteEx(const void* data, unsigned size, bool atFront) {
    if (size == 0) return;
    const unsigned char* src = static_cast<const unsigned char*>(data);
    if (atFront) {
        CMemoryInfo* block = new CMemoryInfo(static_cast<int32_t>(size));
        std::memcpy(block->data, src, size);
        m_chunks.push_front(block);
        m_position += size;
        return;
    }
    while (size > 0) {
        if (m_free == 0) {
            // Each new block at least doubles the previous block's content (1024 at first).
            int64_t capacity = static_cast<int64_t>(m_fill) * 2;
            if (capacity < size) capacity = size;
            if (capacity < 1024) capacity = 1024;
            if (capacity > INT32_MAX) capacity = INT32_MAX;
            CMemoryInfo* block = new CMemoryInfo(static_cast<int32_t>(capacity));
            m_chunks.push_back(block);
            m_fill = 0;
            m_free = block->size;
        }
        unsigned n = std::min<unsigned>(size, static_cast<unsigned>(m_free));
        std::memcpy(m_chunks.back()->data + m_fill, src, n);
        src += n;
        size -= n;
        m_position += n;
        m_fill += static_cast<int32_t>(n);
        m_free -= static_cast<int32_t>(n);
    }
}

void CBinaryStream::TrimLast() {
    if (!m_chunks.empty() && m_free != 0) {
        m_chunks.back()->size = m_fill;
        m_free = 0;
    }
}

void CBinaryStream::AppendEx(CBinaryStream* other, bool atFront) {
    if (!other || other == this || m_chunks.empty() || other->m_chunks.empty()) return;
    TrimLast();
    other->TrimLast();
    for (CMemoryInfo* block : other->m_chunks) m_position += static_cast<uint32_t>(block->size);
    if (atFront) {
        m_chunks.splice(m_chunks.begin(), other->m_chunks);
    } else {
        m_chunks.splice(m_chunks.end(), other->m_chunks);
        // Our last block is now the other's, already trimmed and full.
        m_fill = m_chunks.back()->size;
        m_free = 0;
    }
    other->Clear();
}

CBinaryStream::CMemoryInfo* CBinaryStream::GetMemory() {
    if (m_chunks.empty()) return nullptr;
    TrimLast();
    int64_t total = 0;
    for (CMemoryInfo* block : m_chunks) total += block->size;
    if (total == 0 || total > INT32_MAX) return nullptr;
    delete m_flat;
    m_flat = new CMemoryInfo(static_cast<int32_t>(total));
    unsigned char* out = m_flat->data;
    for (CMemoryInfo* block : m_chunks) {
        if (block->size > 0) std::memcpy(out, block->data, static_cast<size_t>(block->size));
        out += block->size;
    }
    return m_flat;
}

void CBinaryStream::SetBuffer(const void* data, unsigned size) {
    Clear();
    if (size > INT32_MAX) size = INT32_MAX;
    m_flat = new CMemoryInfo(static_cast<unsigned char*>(const_cast<void*>(data)), static_cast<int32_t>(size));
}

uint32_t CBinaryStream::GetRemaining() const {
    if (!m_flat || m_flat->size <= 0) return 0;
    uint32_t end = static_cast<uint32_t>(m_flat->size);
    return m_position < end ? end - m_position : 0;
}

bool CBinaryStream::Read(void* buffer, unsigned size) {
    // Compared as remaining bytes, so position + size can never overflow.
    if (!m_flat || size > GetRemaining()) return true;
    if (size > 0) std::memcpy(buffer, m_flat->data + m_position, size);
    m_position += size;
    return false;
}

void CBinaryStream::Clear() {
    for (CMemoryInfo* block : m_chunks) delete block;
    m_chunks.clear();
    delete m_flat;
    m_flat = nullptr;
    m_position = 0;
    m_fill = 0;
    m_free = 0;
}

}  // namespace kestrin
