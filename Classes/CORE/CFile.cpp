#include "CORE/CFile.h"

#include <climits>

#include "CORE/GamePath.h"
#include "CORE/Platform/IFileSystem.h"

namespace kestrin {

CFile::SSharedStream::~SSharedStream() {
    if (file) std::fclose(file);
}

CFile::~CFile() {
    // Not through the virtual Close: a derived object is already gone here.
    m_stream.reset();
}

CFile* CFile::Clone(bool copyState) {
    CFile* clone = new CFile();
    if (copyState) clone->CopyFrom(*this);
    return clone;
}

void CFile::CopyFrom(const CFile& other) {
    m_stream = other.m_stream;
    m_name = other.m_name;
    m_position = other.m_position;
}

bool CFile::Open(const char* name) {
    if (m_stream) Close();
    if (!name) return true;
    std::string native;
    if (ResolveGamePath(name, native)) return true;
    std::FILE* file = GetFileSystem()->OpenRead(native);
    if (!file) return true;
    m_stream = std::make_shared<SSharedStream>(file);
    m_name = name;
    m_position = 0;
    return false;
}

int CFile::Read(void* buffer, unsigned size) {
    if (!m_stream || !buffer || size == 0) return 0;
    if (size > INT_MAX) size = INT_MAX;
    SSharedStream& s = *m_stream;
    if (s.position != m_position) {
        if (std::fseek(s.file, static_cast<long>(m_position), SEEK_SET) != 0) {
            s.position = -1;
            return 0;
        }
        s.position = m_position;
    }
    size_t n = std::fread(buffer, 1, size, s.file);
    if (n < size) std::clearerr(s.file);
    m_position += static_cast<int64_t>(n);
    s.position = m_position;
    return static_cast<int>(n);
}

int CFile::Seek(int offset, int origin) {
    if (!m_stream) return -1;
    int64_t base;
    switch (origin) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = m_position; break;
        case SEEK_END: {
            int size = GetSize();
            if (size < 0) return -1;
            base = size;
            break;
        }
        default: return -1;
    }
    int64_t target = base + offset;
    if (target < 0 || target > INT_MAX) return -1;
    m_position = target;
    return 0;
}

int CFile::Tell() {
    if (!m_stream) return -1;
    return m_position > INT_MAX ? -1 : static_cast<int>(m_position);
}

int CFile::GetSize() {
    if (!m_stream) return -1;
    SSharedStream& s = *m_stream;
    if (std::fseek(s.file, 0, SEEK_END) != 0) {
        s.position = -1;
        return -1;
    }
    long size = std::ftell(s.file);
    s.position = size;
    if (size < 0 || size > INT_MAX) return -1;
    return static_cast<int>(size);
}

int CFile::Close() {
    if (!m_stream) return -1;
    m_stream.reset();
    m_name.clear();
    m_position = 0;
    return 0;
}

std::string CFile::GetName() { return m_name; }

}  // namespace kestrin
