#pragma once
// One part of a multipart/form-data body: its header lines and a text value or bytes.
#include <list>
#include <memory>
#include <string>

#include "CORE/CBinaryStream.h"

namespace kestrin {

class CMimeMultiPart {
public:
    CMimeMultiPart(const std::string& header, const std::string& text);
    // Copies the block; the text stays empty.
    CMimeMultiPart(const std::string& header, const CBinaryStream::CMemoryInfo& data);
    virtual ~CMimeMultiPart() = default;

    const std::string& GetHeader() const { return m_header; }
    const std::string& GetText() const { return m_text; }
    const CBinaryStream::CMemoryInfo& GetData() const { return *m_data; }

    // A form field name or file name made safe inside a quoted header parameter:
    // '"', CR and LF become %22, %0D and %0A.
    static std::string QuoteName(const std::string& name);

private:
    std::string m_header;
    std::string m_text;
    std::unique_ptr<CBinaryStream::CMemoryInfo> m_data;
};

// Writes the whole body into stream and returns its boundary (for the Content-Type
// header). The boundary is random and never occurs inside a part.
std::string BuildMultipartBody(CBinaryStream& stream, const std::list<std::shared_ptr<CMimeMultiPart>>& parts);

}  // namespace kestrin
