#include "CORE/CSerializer.h"

#include <algorithm>
#include <climits>

namespace kestrin {

std::vector<std::shared_ptr<ISerializerExtension>> CSerializer::Extensions;

int32_t DecodeInt32(const unsigned char* bytes) {
    return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                                (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24));
}

void RegisterSerializerExtension(std::shared_ptr<ISerializerExtension> extension) {
    CSerializer::Extensions.push_back(std::move(extension));
}

void RegisterSerializerExtension(ISerializerExtension* extension) {
    RegisterSerializerExtension(std::shared_ptr<ISerializerExtension>(extension));
}

CSerializer::CSerializer() : CSerializer(true) {}

CSerializer::CSerializer(bool indexed) : m_stream(new CBinaryStream()), m_indexed(indexed) {}

CSerializer::~CSerializer() = default;

CBinaryStream::CMemoryInfo* CSerializer::GetMemory() {
    if (m_indexed) WriteIndex();
    return m_stream->GetMemory();
}

void CSerializer::Attach(const void* data, unsigned size) {
    m_stream->SetBuffer(data, size);
    m_index.clear();
    m_indexWritten = false;
    if (m_indexed) LoadIndex();
}

void CSerializer::Reset() {
    m_stream->Clear();
    m_index.clear();
    m_indexWritten = false;
}

CSerializer* CSerializer::Nested() {
    if (!m_nested) m_nested.reset(new CSerializer());
    return m_nested.get();
}

void CSerializer::WriteInt32(int32_t value) {
    uint32_t u = static_cast<uint32_t>(value);
    unsigned char bytes[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                              static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
    m_stream->Write(bytes, 4);
}

bool CSerializer::ReadInt32(int32_t& value) {
    unsigned char bytes[4];
    if (m_stream->Read(bytes, 4)) return true;
    value = DecodeInt32(bytes);
    return false;
}

CSerializer* CSerializer::BeginMember(unsigned key, bool nested) {
    if (m_indexed && key != 0) m_index[key] = static_cast<int32_t>(m_stream->GetPosition());
    if (!nested) return nullptr;
    CSerializer* child = Nested();
    child->Reset();
    return child;
}

void CSerializer::EndNested() {
    CSerializer* child = Nested();
    child->WriteIndex();
    WriteInt32(static_cast<int32_t>(child->m_stream->GetPosition()));
    m_stream->Append(child->m_stream.get());
}

bool CSerializer::FindMember(unsigned key, bool nested) {
    if (m_indexed && key != 0) {
        auto it = m_index.find(key);
        if (it == m_index.end()) return true;
        // A negative offset from a damaged index lands past the end: nothing reads there.
        m_stream->SetPosition(static_cast<uint32_t>(it->second));
    }
    if (!nested) return false;
    int32_t length = 0;
    ReadInt32(length);
    // A length beyond the bytes left reads as an empty object.
    if (length > 0 && static_cast<uint32_t>(length) <= m_stream->GetRemaining()) {
        m_readBuffer.resize(static_cast<size_t>(length));
        m_stream->Read(m_readBuffer.data(), static_cast<unsigned>(length));
    } else {
        m_readBuffer.clear();
    }
    CSerializer* child = Nested();
    child->Reset();
    child->Attach(m_readBuffer.data(), static_cast<unsigned>(m_readBuffer.size()));
    return false;
}

void CSerializer::WriteIndex() {
    if (m_indexWritten) return;
    m_indexWritten = true;
    CSerializer block = CSerializerWithIndexFlag(false);
    block.SaveIndex(m_index);
    // Into a stream that holds nothing, nothing is put: an empty object is just its length.
    m_stream->AppendEx(block.m_stream.get(), true);
}

void CSerializer::SaveIndex(const std::unordered_map<uint32_t, int32_t>& index) {
    // Ascending key order keeps images byte-identical from one save to the next.
    std::vector<std::pair<uint32_t, int32_t>> entries(index.begin(), index.end());
    std::sort(entries.begin(), entries.end());
    const int64_t shift = static_cast<int64_t>(entries.size()) * 8 + 4;
    WriteInt32(static_cast<int32_t>(entries.size()));
    for (const auto& entry : entries) {
        SaveIntPair(static_cast<int32_t>(entry.first), static_cast<int32_t>(entry.second + shift));
    }
}

void CSerializer::SaveIntPair(int32_t first, int32_t second) {
    WriteInt32(first);
    WriteInt32(second);
}

bool CSerializer::LoadIntPair(std::pair<int32_t, int32_t>& pair) {
    if (m_stream->GetRemaining() < 8) return true;
    ReadInt32(pair.first);
    ReadInt32(pair.second);
    return false;
}

void CSerializer::LoadIndex() {
    m_index.clear();
    int32_t count = 0;
    if (ReadInt32(count)) return;
    for (int32_t i = 0; i < count; ++i) {
        std::pair<int32_t, int32_t> entry;
        if (LoadIntPair(entry)) break;
        m_index.emplace(static_cast<uint32_t>(entry.first), entry.second);  // the first of a key stays
    }
}

void CSerializer::SaveInt(int32_t value, unsigned key) {
    BeginMember(key, false);
    WriteInt32(value);
}

void CSerializer::LoadInt(int32_t& value, unsigned key) {
    if (FindMember(key, false)) return;
    ReadInt32(value);
}

void CSerializer::LoadInt(uint32_t& value, unsigned key) {
    int32_t v = static_cast<int32_t>(value);
    LoadInt(v, key);
    value = static_cast<uint32_t>(v);
}

void CSerializer::SaveByte(uint8_t value, unsigned key) {
    BeginMember(key, false);
    m_stream->Write(&value, 1);
}

void CSerializer::LoadByte(uint8_t& value, unsigned key) {
    if (FindMember(key, false)) return;
    m_stream->Read(&value, 1);
}

void CSerializer::LoadByte(bool& value, unsigned key) {
    uint8_t b = value ? 1 : 0;
    LoadByte(b, key);
    value = b != 0;
}

void CSerializer::LoadByte(char& value, unsigned key) {
    uint8_t b = static_cast<uint8_t>(value);
    LoadByte(b, key);
    value = static_cast<char>(b);
}

void CSerializer::SaveString(const std::string& value, unsigned key) {
    BeginMember(key, false);
    // Only up to a zero byte: that is all a reader takes, and what is written must read back
    // as it was (a save is checked that way).
    size_t length = std::min<size_t>(std::min(value.find('\0'), value.size()), INT32_MAX);
    WriteInt32(static_cast<int32_t>(length));
    m_stream->Write(value.data(), static_cast<unsigned>(length));
}

void CSerializer::LoadString(std::string& value, unsigned key) {
    if (FindMember(key, false)) return;
    int32_t length = 0;
    ReadInt32(length);
    const CBinaryStream::CMemoryInfo* flat = m_stream->GetFlat();
    if (length <= 0 || !flat || static_cast<uint32_t>(length) > m_stream->GetRemaining()) {
        value.clear();
        return;
    }
    const char* text = reinterpret_cast<const char*>(flat->data + m_stream->GetPosition());
    size_t n = 0;
    while (n < static_cast<size_t>(length) && text[n] != '\0') ++n;
    value.assign(text, n);
    m_stream->SetPosition(m_stream->GetPosition() + static_cast<uint32_t>(length));
}

void CSerializer::SaveSerializable(const ISerializable& value, unsigned key) {
    CSerializer* nested = BeginMember(key, true);
    const_cast<ISerializable&>(value).Save(nested);
    EndNested();
}

void CSerializer::LoadSerializable(ISerializable& value, unsigned key) {
    if (FindMember(key, true)) return;
    value.Load(GetNested());
}

}  // namespace kestrin
