#include "TEXT/CRenderedFontFile.h"

#include <cstring>
#include <map>
#include <vector>

#include "CORE/CFileFactory.h"
#include "CORE/CIni.h"
#include "CORE/CLogWindow.h"

namespace kestrin {

namespace {

struct SRange {
    uint16_t first;
    uint16_t last;
};

// Every code of a range has an entry, valid character or not.
const SRange kTable0[] = {{0x21, 0x7E}, {0xA1, 0xDF}, {0x8141, 0x9FFC}, {0xE040, 0xEAA4}, {0xF040, 0xF9FC}};
const SRange kTable1[] = {{0x21, 0x7E}, {0xA1, 0xDF}, {0x8140, 0x9FFC}, {0xE040, 0xEAA4}, {0xF040, 0xF9FC}};
const SRange kTable3[] = {{0x00, 0x00},     {0x21, 0x7E},     {0xA1, 0xDF},
                          {0x8140, 0x9FFC}, {0xE040, 0xEAA4}, {0xF040, 0xF9FC}};
const SRange kTable3Unicode[] = {{0x0000, 0x0000}, {0x0021, 0x007E}, {0x0080, 0xD7FF}, {0xE000, 0xFFFF}};

template <size_t N>
bool Lookup(const SRange (&table)[N], uint16_t code, int64_t& offset) {
    int64_t before = 0;
    for (const SRange& r : table) {
        if (code >= r.first && code <= r.last) {
            offset = 4 + 8 * (before + (code - r.first));
            return true;
        }
        before += r.last - r.first + 1;
    }
    return false;
}

// The header text is read whole: bounded so a damaged size cannot ask for gigabytes.
constexpr int32_t kMaxHeaderBytes = 1 << 20;

std::map<std::string, bool>& UnicodeFiles() {
    static std::map<std::string, bool> files;
    return files;
}

int32_t ReadInt32(const unsigned char* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

}  // namespace

CRenderedFontFile::CRenderedFontFile(CFileFactory* factory) : m_factory(factory) {}

CRenderedFontFile::~CRenderedFontFile() = default;

bool CRenderedFontFile::EntryOffset(const char magic[4], bool unicode, uint16_t code, int64_t& offset) {
    if (std::memcmp(magic, "rft0", 4) == 0) return Lookup(kTable0, code, offset);
    if (std::memcmp(magic, "rft1", 4) == 0 || std::memcmp(magic, "rft2", 4) == 0) return Lookup(kTable1, code, offset);
    if (std::memcmp(magic, "rft3", 4) == 0)
        return unicode ? Lookup(kTable3Unicode, code, offset) : Lookup(kTable3, code, offset);
    return false;
}

void CRenderedFontFile::ForgetCharsets() { UnicodeFiles().clear(); }

CFile* CRenderedFontFile::Clone(bool copyState) {
    auto* clone = new CRenderedFontFile(nullptr);
    if (copyState) {
        clone->m_name = m_name;
        clone->m_inner = m_inner;
        clone->m_windowStart = m_windowStart;
        clone->m_windowSize = m_windowSize;
        clone->m_format = m_format;
        clone->m_color32 = m_color32;
    }
    return clone;
}

bool CRenderedFontFile::Open(const char*) { return true; }

bool CRenderedFontFile::Fail(const char* why) {
    Log(ELogLevel::Error, "rendered font", "%s: %s", m_name.c_str(), why);
    m_windowStart = m_windowSize = 0;
    m_inner.reset();
    return true;
}

bool CRenderedFontFile::OpenGlyph(const std::string& name, uint16_t code) {
    m_windowStart = m_windowSize = 0;
    m_color32 = false;
    m_inner.reset();
    if (!m_factory) return true;
    m_inner.reset(m_factory->Create());
    if (!m_inner) return true;
    if (m_inner->Open(name.c_str()) && m_inner->Open((name + ".rft").c_str())) {
        m_inner.reset();
        return true;
    }
    m_name = m_inner->GetName();
    const int64_t fileSize = m_inner->GetSize();
    char magic[4] = {};
    if (fileSize < 4 || m_inner->Seek(0, 0) != 0 || m_inner->Read(magic, 4) != 4) return Fail("too short");

    // Reads one index entry and checks that its data lies inside the file.
    auto readEntry = [&](int64_t at, int32_t& start, int32_t& size) {
        unsigned char entry[8];
        if (at + 8 > fileSize || m_inner->Seek(static_cast<int>(at), 0) != 0 || m_inner->Read(entry, 8) != 8)
            return false;
        start = ReadInt32(entry);
        size = ReadInt32(entry + 4);
        return start >= 0 && size >= 0 && int64_t(start) + int64_t(size) <= fileSize;
    };

    bool unicode = false;
    if (std::memcmp(magic, "rft0", 4) == 0) {
        m_format = kFormat0;
    } else if (std::memcmp(magic, "rft1", 4) == 0) {
        m_format = kFormat1;
    } else if (std::memcmp(magic, "rft2", 4) == 0) {
        m_format = kFormat1;
        m_color32 = true;
    } else if (std::memcmp(magic, "rft3", 4) == 0) {
        m_format = kFormat3;
        auto known = UnicodeFiles().find(name);
        if (known == UnicodeFiles().end()) {
            int32_t start = 0, size = 0;
            if (!readEntry(4, start, size)) return Fail("header entry outside the file");
            if (size > kMaxHeaderBytes) return Fail("header too large");
            std::vector<char> text(size_t(size) + 1, '\0');
            if (m_inner->Seek(start, 0) != 0 || m_inner->Read(text.data(), unsigned(size)) != size)
                return Fail("header cannot be read");
            CIni ini;
            ini.Parse(text.data(), size_t(size));
            known = UnicodeFiles().emplace(name, ini.GetString("FONT", "CHARSET") == "UTF-8").first;
        }
        unicode = known->second;
    } else {
        return Fail("not a rendered font file");
    }

    int64_t entry = 0;
    if (!EntryOffset(magic, unicode, code, entry)) {
        m_inner.reset();
        return true;
    }
    int32_t start = 0, size = 0;
    if (!readEntry(entry, start, size)) return Fail("glyph entry outside the file");
    m_windowStart = start;
    m_windowSize = size;
    m_inner->Seek(start, 0);
    return false;
}

int CRenderedFontFile::Read(void* buffer, unsigned size) {
    if (!m_inner) return 0;
    const int position = Tell();
    if (position < 0 || position >= m_windowSize) return 0;
    const unsigned left = unsigned(m_windowSize - position);
    return m_inner->Read(buffer, size < left ? size : left);
}

int CRenderedFontFile::Seek(int offset, int origin) {
    if (!m_inner) return -1;
    const int64_t end = int64_t(m_windowStart) + m_windowSize;
    int64_t target;
    switch (origin) {
        case 0: target = int64_t(m_windowStart) + offset; break;
        case 2: target = end + offset; break;
        case 1: {
            const int current = m_inner->Tell();
            target = int64_t(current) + offset;
            if (current < 0 || target < m_windowStart || target > end) return 0;
            break;
        }
        default: return -1;
    }
    if (target < 0 || target > INT32_MAX) return -1;
    return m_inner->Seek(static_cast<int>(target), 0);
}

int CRenderedFontFile::Tell() {
    if (!m_inner) return -1;
    const int position = m_inner->Tell();
    if (position < 0 || position < m_windowStart) return -1;
    const int relative = position - m_windowStart;
    return relative > m_windowSize ? -1 : relative;
}

int CRenderedFontFile::GetSize() { return m_windowSize; }

int CRenderedFontFile::Close() {
    m_inner.reset();
    m_windowStart = m_windowSize = 0;
    return 0;
}

}  // namespace kestrin
