#include "NETWORK/CMimeMultiPart.h"

#include <cstring>
#include <random>

namespace kestrin {

CMimeMultiPart::CMimeMultiPart(const std::string& header, const std::string& text)
    : m_header(header), m_text(text), m_data(new CBinaryStream::CMemoryInfo()) {}

CMimeMultiPart::CMimeMultiPart(const std::string& header, const CBinaryStream::CMemoryInfo& data)
    : m_header(header), m_data(new CBinaryStream::CMemoryInfo(data.size > 0 ? data.size : 0)) {
    if (data.size > 0 && data.data) std::memcpy(m_data->data, data.data, static_cast<size_t>(data.size));
}

std::string CMimeMultiPart::QuoteName(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == '"') {
            out += "%22";
        } else if (c == '\r') {
            out += "%0D";
        } else if (c == '\n') {
            out += "%0A";
        } else {
            out += c;
        }
    }
    return out;
}

namespace {

bool Contains(const char* data, size_t size, const std::string& needle) {
    if (size < needle.size()) return false;
    const char* end = data + size;
    for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, needle[0], end - p))) != nullptr; ++p) {
        if (static_cast<size_t>(end - p) < needle.size()) return false;
        if (std::memcmp(p, needle.data(), needle.size()) == 0) return true;
    }
    return false;
}

bool ClashesWith(const std::list<std::shared_ptr<CMimeMultiPart>>& parts, const std::string& delimiter) {
    for (const auto& part : parts) {
        const CBinaryStream::CMemoryInfo& data = part->GetData();
        if (Contains(part->GetHeader().data(), part->GetHeader().size(), delimiter)) return true;
        if (data.size > 0
                ? Contains(reinterpret_cast<const char*>(data.data), static_cast<size_t>(data.size), delimiter)
                : Contains(part->GetText().data(), part->GetText().size(), delimiter)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string BuildMultipartBody(CBinaryStream& stream, const std::list<std::shared_ptr<CMimeMultiPart>>& parts) {
    static std::mt19937_64 random{std::random_device{}()};
    static const char kDigits[] = "0123456789abcdef";
    std::string boundary;
    do {
        boundary = "KestrinBoundary";
        for (int i = 0; i < 24; ++i) boundary += kDigits[random() & 15];
    } while (ClashesWith(parts, "--" + boundary));
    const std::string delimiter = "--" + boundary;
    for (const auto& part : parts) {
        const std::string head = delimiter + "\r\n" + part->GetHeader() + "\r\n\r\n";
        stream.Write(head.data(), static_cast<unsigned>(head.size()));
        const CBinaryStream::CMemoryInfo& data = part->GetData();
        if (data.size > 0) {
            stream.Write(data.data, static_cast<unsigned>(data.size));
        } else {
            stream.Write(part->GetText().data(), static_cast<unsigned>(part->GetText().size()));
        }
        stream.Write("\r\n", 2);
    }
    const std::string tail = delimiter + "--\r\n";
    stream.Write(tail.data(), static_cast<unsigned>(tail.size()));
    return boundary;
}

}  // namespace kestrin
