#include "NETWORK/CHttpSocket.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "CORE/FileReplace.h"
#include "CORE/Platform/MemoryAdvice.h"
#include "CORE/StringHelpers.h"
#include "NETWORK/CUrl.h"

namespace kestrin {

namespace {

// From this size on a body in memory asks for huge pages: the page faults of a fresh block
// cost more than receiving it.
constexpr size_t kHugeBody = size_t(4) << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// Decimal digits only, within 63 bits.
bool ParseLength(const std::string& text, int64_t& out) {
    if (text.empty()) return false;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        if (value > (INT64_MAX - (c - '0')) / 10) return false;
        value = value * 10 + (c - '0');
    }
    out = value;
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hexadecimal digits, then nothing, blanks or a ";" extension; within 60 bits.
bool ParseChunkSize(const std::string& line, int64_t& out) {
    size_t i = 0;
    int64_t value = 0;
    while (i < line.size() && HexValue(line[i]) >= 0) {
        if (value >> 56) return false;
        value = value * 16 + HexValue(line[i]);
        ++i;
    }
    if (i == 0) return false;
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i < line.size() && line[i] != ';') return false;
    out = value;
    return true;
}

// Headers that carry the user's credentials: they go to no other host than the one asked.
bool IsCredential(const std::string& name) {
    const std::string lower = ToLowerString(name);
    return lower == "authorization" || lower == "proxy-authorization" || lower == "cookie";
}

}  // namespace

CHttpSocket::CHttpSocket(const std::string& host, uint16_t port) : CClientSocket(host, port == 0 ? 80 : port) {}

CHttpSocket::~CHttpSocket() {
    DropDownload();
    ReleaseChunks(false);
}

bool CHttpSocket::Request(const std::string& target, const char* body, int length) {
    if (!m_redirecting) {
        m_redirects = 0;
        m_originHost = ToLowerString(GetHost());
        m_originPort = GetPort();
    }
    m_interimReplies = 0;
    const bool sameOrigin = ToLowerString(GetHost()) == m_originHost && GetPort() == m_originPort;
    m_target = !target.empty() && target[0] == '/' ? target : "/" + target;
    std::string host = GetHost();
    // Without the port a server with several sites on other ports cannot tell them apart.
    if (GetPort() != 80) host += ":" + std::to_string(GetPort());
    std::string text = std::string(body ? "POST " : "GET ") + m_target + " HTTP/1.1\r\nHost: " + host +
                       "\r\nUser-Agent: " + UserAgent() + "\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\n";
    if (body) text += "Content-Length: " + std::to_string(length < 0 ? 0 : length) + "\r\n";
    for (const auto& header : m_requestHeaders) {
        if (!sameOrigin && IsCredential(header.first)) continue;
        text += header.first + ": " + header.second + "\r\n";
    }
    text += "\r\n";
    const size_t bodyLength = body && length > 0 ? static_cast<size_t>(length) : 0;
    char* block = new char[text.size() + bodyLength];
    std::memcpy(block, text.data(), text.size());
    if (bodyLength) std::memcpy(block + text.size(), body, bodyLength);
    if (Send(block, static_cast<int>(text.size() + bodyLength))) return true;
    m_post = body != nullptr;
    return false;
}

void CHttpSocket::Stall() {
    Reset(false);
    Close();
    RecordError(kStepStalled, 0);
}

bool CHttpSocket::Fail(int step) {
    Reset(false);
    RecordError(step, 0);
    return true;
}

void CHttpSocket::ReleaseChunks(bool keepNewest) {
    while (m_chunks.size() > (keepNewest ? 1u : 0u)) {
        delete[] m_chunks.front();
        m_chunks.pop_front();
    }
    if (!keepNewest) {
        m_cursor = nullptr;
        m_cursorLeft = 0;
    }
}

void CHttpSocket::DropDownload() { m_download.reset(); }

void CHttpSocket::Reset(bool keepChunk) {
    ReleaseChunks(keepChunk);
    DropDownload();
    m_readerState = keepChunk ? READ_HEADER : READ_START;
    m_needData = !keepChunk || m_cursorLeft == 0;
    m_headerText.clear();
    m_terminator = 4;
    // The headers of a complete reply stay readable until the next one starts.
    if (!keepChunk) m_responseHeaders.clear();
    m_contentLengths.clear();
    m_contentLength = 0;
    m_counted = 0;
    m_chunkLeft = 0;
    m_chunkPhase = CHUNK_SIZE;
    m_chunkLine.clear();
    m_trailerBytes = 0;
    std::string().swap(m_body);
    m_bodySize = 0;
}

bool CHttpSocket::WriteBody(const char* bytes, size_t count, int step) {
    if (count == 0) return false;
    m_bodySize += static_cast<int64_t>(count);
    if (m_downloadFile.empty()) {
        if (m_bodySize > m_memoryLimit) return Fail(kStepBodyTooLarge);
        const size_t needed = static_cast<size_t>(m_bodySize);
        if (needed > m_body.capacity()) {
            size_t capacity = std::max<size_t>(m_body.capacity() * 2, 64 * 1024);
            if (m_readerState == READ_LENGTH && m_contentLength <= m_memoryLimit)
                capacity = std::max(capacity, static_cast<size_t>(m_contentLength));
            capacity = std::max(capacity, needed);
            // Growth stops at the limit: no block past it (the string keeps room for its
            // terminator itself).
            capacity = std::min(capacity, static_cast<size_t>(m_memoryLimit));
            // Reserved on a fresh string, so the block is exactly that size; its pages count only
            // once written, and the old block goes before the next grows.
            std::string grown;
            grown.reserve(capacity);
            if (capacity >= kHugeBody) AdviseHugePages(&grown[0], capacity + 1);
            grown.append(m_body);
            m_body.swap(grown);
        }
        m_body.append(bytes, count);
        // The received blocks are copied out: their memory serves the next receive.
        ReleaseChunks(true);
        return false;
    }
    if (!m_download) {
        // A fresh temporary file beside the target, renamed over it when the body is whole.
        m_download = std::make_unique<CFileReplacement>();
        if (m_download->Begin(m_downloadFile, nullptr)) return Fail(step);
    }
    if (m_download->Write(bytes, count)) return Fail(step);
    ReleaseChunks(true);
    return false;
}

bool CHttpSocket::Receive(std::string& body, int& length) {
    m_completed = false;
    length = 0;
    if (m_readerState == READ_START) {
        Reset(false);
        m_readerState = READ_HEADER;
    }
    if (m_needData) {
        char* chunk = nullptr;
        int got = 0;
        if (CClientSocket::Receive(chunk, got)) {
            Reset(false);
            return true;
        }
        if (chunk) {
            m_chunks.push_back(chunk);
            m_cursor = chunk;
            m_cursorLeft = static_cast<size_t>(got);
            m_needData = false;
        } else if (GetConnectionState() == STATE_NONE) {
            return Fail(kStepClosed);
        } else {
            return false;
        }
    }
    for (;;) {
        switch (m_readerState) {
            case READ_HEADER: {
                while (m_cursorLeft > 0 && m_terminator > 0) {
                    char c = *m_cursor++;
                    --m_cursorLeft;
                    m_headerText += c;
                    if (c == '\r') {
                        m_terminator = m_terminator == 4 ? 3 : m_terminator == 2 ? 1 : 3;
                    } else if (c == '\n') {
                        m_terminator = m_terminator == 3 ? 2 : m_terminator == 1 ? 0 : 4;
                    } else {
                        m_terminator = 4;
                    }
                    if (m_headerText.size() > kMaxHeaderBytes) return Fail(kStepHeaderTooLarge);
                }
                if (m_terminator > 0) break;
                bool redirected = false;
                if (ParseHeader(redirected)) return true;
                if (redirected) return false;
                continue;
            }
            case READ_LENGTH: {
                int64_t wanted = m_contentLength - m_counted;
                size_t take = static_cast<int64_t>(m_cursorLeft) < wanted ? m_cursorLeft : static_cast<size_t>(wanted);
                if (WriteBody(m_cursor, take, kStepWriteLength)) return true;
                m_cursor += take;
                m_cursorLeft -= take;
                m_counted += static_cast<int64_t>(take);
                if (m_counted >= m_contentLength) {
                    m_readerState = READ_COMPLETE;
                    continue;
                }
                break;
            }
            case READ_CHUNKED:
                if (ReadChunked()) return true;
                if (m_readerState == READ_COMPLETE) continue;
                break;
            case READ_COMPLETE: return Complete(body, length);
            default: return Fail(kStepStatusLine);
        }
        // Everything in the cursor was used: the next call receives.
        if (m_cursorLeft == 0) m_needData = true;
        return false;
    }
}

bool CHttpSocket::ReadChunked() {
    while (m_cursorLeft > 0 && m_readerState == READ_CHUNKED) {
        switch (m_chunkPhase) {
            case CHUNK_SIZE:
            case CHUNK_TRAILER: {
                char c = *m_cursor++;
                --m_cursorLeft;
                m_chunkLine += c;
                if (m_chunkPhase == CHUNK_SIZE ? m_chunkLine.size() > kMaxChunkLine
                                               : (m_trailerBytes += 1) > kMaxTrailerBytes) {
                    return Fail(m_chunkPhase == CHUNK_SIZE ? kStepChunkLine : kStepTrailer);
                }
                size_t n = m_chunkLine.size();
                if (n < 2 || m_chunkLine[n - 2] != '\r' || c != '\n') break;
                std::string line = m_chunkLine.substr(0, n - 2);
                m_chunkLine.clear();
                if (m_chunkPhase == CHUNK_TRAILER) {
                    // Trailer fields are read and dropped; the empty line ends the body.
                    if (line.empty()) m_readerState = READ_COMPLETE;
                    break;
                }
                int64_t size = 0;
                if (!ParseChunkSize(line, size)) return Fail(kStepChunkLine);
                if (size == 0) {
                    m_chunkPhase = CHUNK_TRAILER;
                } else {
                    m_chunkLeft = size;
                    m_chunkPhase = CHUNK_DATA;
                }
                break;
            }
            case CHUNK_DATA: {
                size_t take =
                    static_cast<int64_t>(m_cursorLeft) < m_chunkLeft ? m_cursorLeft : static_cast<size_t>(m_chunkLeft);
                if (WriteBody(m_cursor, take, kStepWriteChunk)) return true;
                m_cursor += take;
                m_cursorLeft -= take;
                m_chunkLeft -= static_cast<int64_t>(take);
                if (m_chunkLeft == 0) m_chunkPhase = CHUNK_END;
                break;
            }
            case CHUNK_END: {
                // The CR and LF after the data, also when they come in separate receives.
                char c = *m_cursor++;
                --m_cursorLeft;
                if (m_chunkLine.empty()) {
                    if (c != '\r') return Fail(kStepChunkEnd);
                    m_chunkLine = "\r";
                } else {
                    if (c != '\n') return Fail(kStepChunkEnd);
                    m_chunkLine.clear();
                    m_chunkPhase = CHUNK_SIZE;
                }
                break;
            }
        }
    }
    return false;
}

bool CHttpSocket::ParseHeader(bool& redirected) {
    const std::string& text = m_headerText;
    size_t lineEnd = text.find("\r\n");
    if (text.compare(0, 5, "HTTP/") != 0) return Fail(kStepStatusLine);
    size_t blank = text.find(' ');
    if (blank == std::string::npos || blank > lineEnd || lineEnd < blank + 4) return Fail(kStepStatusLine);
    int status = 0;
    for (size_t i = blank + 1; i < blank + 4; ++i) {
        if (text[i] < '0' || text[i] > '9') return Fail(kStepStatusLine);
        status = status * 10 + (text[i] - '0');
    }
    if (blank + 4 < lineEnd && text[blank + 4] != ' ') return Fail(kStepStatusLine);
    m_status = status;
    m_responseHeaders.clear();
    std::string lastName;
    int lines = 0;
    size_t pos = lineEnd + 2;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) return Fail(kStepHeaderLine);
        if (end == pos) break;  // the empty line that ends the header
        if (++lines > kMaxHeaderLines) return Fail(kStepHeaderTooLarge);
        std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        if (line.find('\r') != std::string::npos || line.find('\n') != std::string::npos) {
            return Fail(kStepHeaderLine);
        }
        if (IsBlank(line[0])) {
            // A folded line continues the header before it.
            if (lastName.empty()) return Fail(kStepHeaderLine);
            m_responseHeaders[lastName] += Trimmed(line);
            continue;
        }
        size_t colon = line.find(':');
        if (colon == std::string::npos) return Fail(kStepHeaderLine);
        std::string name = ToLowerString(line.substr(0, colon));
        if (name.empty()) return Fail(kStepEmptyName);
        std::string value = Trimmed(line.substr(colon + 1));
        if (name == "content-length") {
            // A list of equal values ("5, 5") stands for one.
            std::vector<std::string> values;
            SplitString(value.c_str(), values, ",");
            for (const std::string& v : values) m_contentLengths.push_back(Trimmed(v));
        }
        m_responseHeaders[name] += value;
        lastName = name;
    }

    if (m_status >= 100 && m_status < 200 && m_status != 101) {
        // An interim reply ("100 Continue"): the final one follows on the same connection.
        // Their bytes would keep a stalled request looking alive, so only a few are taken.
        if (++m_interimReplies > kMaxInterimReplies) return Fail(kStepInterimLimit);
        m_headerText.clear();
        m_terminator = 4;
        m_responseHeaders.clear();
        m_contentLengths.clear();
        return false;
    }
    auto location = m_responseHeaders.find("location");
    if (!m_post && location != m_responseHeaders.end() &&
        (m_status == 301 || m_status == 302 || m_status == 303 || m_status == 307 || m_status == 308)) {
        redirected = true;
        return FollowRedirect(location->second);
    }
    if (m_status == 101 || m_status == 204 || m_status == 304) {
        m_readerState = READ_COMPLETE;
        return false;
    }
    auto coding = m_responseHeaders.find("transfer-encoding");
    if (coding != m_responseHeaders.end()) {
        if (coding->second != "chunked") return Fail(kStepTransferEncoding);
        m_readerState = READ_CHUNKED;
        return false;
    }
    if (!m_contentLengths.empty()) {
        int64_t length = 0;
        for (size_t i = 0; i < m_contentLengths.size(); ++i) {
            int64_t value = 0;
            if (!ParseLength(m_contentLengths[i], value)) return Fail(kStepContentLength);
            if (i > 0 && value != length) return Fail(kStepContentLength);
            length = value;
        }
        if (m_downloadFile.empty() && length > m_memoryLimit) return Fail(kStepBodyTooLarge);
        m_contentLength = length;
        m_readerState = length == 0 ? READ_COMPLETE : READ_LENGTH;
        return false;
    }
    return Fail(kStepNoFraming);
}

bool CHttpSocket::FollowRedirect(const std::string& location) {
    if (++m_redirects > kMaxRedirects) return Fail(kStepRedirectLimit);
    std::string target = location;
    size_t fragment = target.find('#');
    if (fragment != std::string::npos) target.erase(fragment);
    // A scheme is letters, digits, '+', '-' or '.' before the first ':', ahead of any '/', '?'.
    size_t colon = target.find(':');
    size_t stop = target.find_first_of("/?");
    bool hasScheme = colon != std::string::npos && colon > 0 && (stop == std::string::npos || colon < stop);
    for (size_t i = 0; hasScheme && i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(target[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') hasScheme = false;
    }
    std::string host = GetHost();
    uint16_t port = GetPort();
    std::string path;
    if (hasScheme || target.compare(0, 2, "//") == 0) {
        if (hasScheme && ToLowerString(target.substr(0, colon)) != "http") return Fail(kStepRedirectTarget);
        std::string rest = hasScheme ? target.substr(colon + 1) : target;
        if (rest.compare(0, 2, "//") != 0) return Fail(kStepRedirectTarget);
        if (rest.find('/', 2) == std::string::npos) {
            size_t q = rest.find('?', 2);
            rest.insert(q == std::string::npos ? rest.size() : q, "/");
        }
        CUrl url("http:" + rest);
        if (url.CheckReachable() != CUrl::kReachable) return Fail(kStepRedirectTarget);
        host = url.GetHost();
        port = url.GetPort() == 0 ? 80 : url.GetPort();
        path = url.GetRequestTarget();
    } else {
        std::string base = m_target.substr(0, m_target.find('?'));
        if (target.empty()) {
            target = m_target;
        } else if (target[0] == '?') {
            target = base + target;
        } else if (target[0] != '/') {
            target = base.substr(0, base.rfind('/') + 1) + target;
        }
        size_t q = target.find('?');
        path = CUrl::NormalizePath(target.substr(0, q)) + (q == std::string::npos ? "" : target.substr(q));
    }
    if (path.find_first_of(std::string("\r\n\0 ", 4)) != std::string::npos) return Fail(kStepRedirectTarget);
    Reset(false);
    Close();
    SetDestination(host, port);
    // The new request is only queued here: the caller sends it while bytes are queued,
    // so nothing waits inside this call.
    m_redirecting = true;
    bool failed = Get(path);
    m_redirecting = false;
    return failed;
}

bool CHttpSocket::Complete(std::string& body, int& length) {
    if (m_downloadFile.empty()) {
        body = std::move(m_body);
        std::string().swap(m_body);
        length = static_cast<int>(body.size());
    } else if (m_status == 200) {
        if (!m_download || !m_download->IsOpen()) return Fail(kStepNoDownload);
        const uint64_t size = m_download->GetSize();
        const bool failed = m_download->Commit(nullptr);
        m_download.reset();
        if (failed) return Fail(kStepRename);
        length = size > INT32_MAX ? INT32_MAX : static_cast<int>(size);
        m_downloadFile.clear();
    } else {
        // Another status leaves the target alone.
        DropDownload();
        m_downloadFile.clear();
    }
    m_completed = true;
    m_redirects = 0;
    Reset(true);
    return false;
}

}  // namespace kestrin
