#pragma once
// An HTTP/1.1 client over one CClientSocket: writes a GET or POST request and reads the
// response one step per call, following redirects of GET requests and decoding
// Content-Length and chunked bodies into memory or a file. A reply with neither framing
// fails: its end could not be told from a dropped connection.
//
// Replies are bounded: the header's size and line count, interim (1xx) replies, chunk-size
// lines, trailers and bodies kept in memory. A download goes to a temporary file beside the target, which
// replaces the target only when a complete 200 reply was written, so a failed download
// never harms the file that was there.
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CORE/FileReplace.h"
#include "NETWORK/CClientSocket.h"

namespace kestrin {

class CHttpSocket : public CClientSocket {
public:
    // Error steps (the code is 0).
    static constexpr int kStepClosed = 160;  // closed before the reply was complete
    static constexpr int kStepStatusLine = 231;
    static constexpr int kStepInterimLimit = 235;    // more than kMaxInterimReplies 1xx replies
    static constexpr int kStepHeaderTooLarge = 240;  // header bytes or lines beyond the bounds
    static constexpr int kStepEmptyName = 251;
    static constexpr int kStepHeaderLine = 265;
    static constexpr int kStepContentLength = 300;  // malformed or conflicting Content-Length
    static constexpr int kStepTransferEncoding = 319;
    static constexpr int kStepNoFraming = 328;  // neither Content-Length nor Transfer-Encoding
    static constexpr int kStepBodyTooLarge = 335;
    static constexpr int kStepWriteLength = 364;
    static constexpr int kStepRedirectLimit = 390;
    static constexpr int kStepRedirectTarget = 395;  // a Location that is not plain http
    static constexpr int kStepChunkLine = 430;
    static constexpr int kStepWriteChunk = 442;
    static constexpr int kStepChunkEnd = 470;  // chunk data not followed by CRLF
    static constexpr int kStepTrailer = 480;
    static constexpr int kStepNoDownload = 500;
    static constexpr int kStepRename = 510;
    static constexpr int kStepStalled = 530;  // given up for lack of progress (Stall)

    static constexpr size_t kMaxHeaderBytes = 64 * 1024;
    static constexpr int kMaxHeaderLines = 128;
    static constexpr size_t kMaxChunkLine = 1024;
    static constexpr size_t kMaxTrailerBytes = 16 * 1024;
    static constexpr int kMaxRedirects = 10;
    static constexpr int kMaxInterimReplies = 8;
    static constexpr int64_t kMaxMemoryBody = int64_t(256) << 20;

    enum : int {
        READ_START = 0,
        READ_HEADER = 1,
        READ_LENGTH = 2,
        READ_CHUNKED = 3,
        READ_COMPLETE = 4,
    };

    // Port 0 stands for 80.
    CHttpSocket(const std::string& host, uint16_t port);
    ~CHttpSocket() override;

    static const char* UserAgent() { return "CHttpSocket/1.0 (Windows) Kestrin Framework"; }

    // Credentials ("Authorization", "Proxy-Authorization", "Cookie", any letter case) go only to
    // the host and port of the first request: a redirect elsewhere sends the other headers alone.
    void SetRequestHeaders(const std::map<std::string, std::string>& headers) { m_requestHeaders = headers; }
    // A native path: the body of the next reply goes there instead of memory.
    void SetDownloadFile(const std::string& path) { m_downloadFile = path; }
    // POST when body is non-null, else GET. True on failure.
    bool Request(const std::string& target, const char* body, int length);
    bool Get(const std::string& target) { return Request(target, nullptr, 0); }
    // One step of the reader. True on failure. A completed reply sets HasCompleted(); in
    // memory mode body then takes the reply's body (moved, not copied) and length is its size,
    // in file mode length is the file's size (the file exists only for status 200) and body is
    // left alone.
    bool Receive(std::string& body, int& length);
    bool HasCompleted() const { return m_completed; }
    int GetStatusCode() const { return m_status; }
    int GetReaderState() const { return m_readerState; }
    const std::map<std::string, std::string>& GetResponseHeaders() const { return m_responseHeaders; }
    // The most a body kept in memory may hold (kMaxMemoryBody unless set), and what its block
    // holds room for now.
    void SetMemoryBodyLimit(int64_t bytes) { m_memoryLimit = bytes; }
    size_t GetBodyCapacity() const { return m_body.capacity(); }
    // Back to the start of a reply. keepChunk keeps the unread bytes that followed a complete
    // reply (the start of the next one on the same connection).
    void Reset(bool keepChunk);
    // Gives the request up as making no progress: the connection is closed, a partial download
    // removed, and the error step is kStepStalled.
    void Stall();

private:
    enum : int { CHUNK_SIZE = 0, CHUNK_DATA, CHUNK_END, CHUNK_TRAILER };
    bool Fail(int step);
    bool ParseHeader(bool& redirected);
    bool FollowRedirect(const std::string& location);
    bool ReadChunked();
    bool WriteBody(const char* bytes, size_t count, int step);
    bool Complete(std::string& body, int& length);
    void ReleaseChunks(bool keepNewest);
    void DropDownload();

    std::map<std::string, std::string> m_requestHeaders;
    // Where the first request of a redirect chain went.
    std::string m_originHost;
    uint16_t m_originPort = 0;
    int m_interimReplies = 0;
    bool m_post = false;
    int m_readerState = READ_START;
    bool m_needData = true;
    const char* m_cursor = nullptr;
    size_t m_cursorLeft = 0;
    std::deque<char*> m_chunks;
    std::string m_headerText;
    int m_terminator = 4;
    int m_status = 0;
    std::map<std::string, std::string> m_responseHeaders;
    std::vector<std::string> m_contentLengths;
    int64_t m_contentLength = 0;
    int64_t m_counted = 0;
    int64_t m_chunkLeft = 0;
    int m_chunkPhase = CHUNK_SIZE;
    std::string m_chunkLine;
    size_t m_trailerBytes = 0;
    std::string m_downloadFile;
    std::unique_ptr<CFileReplacement> m_download;
    // The body kept in memory, one block that grows (a declared length is reserved at once) and
    // is handed over whole.
    std::string m_body;
    int64_t m_bodySize = 0;
    int64_t m_memoryLimit = kMaxMemoryBody;
    std::string m_target;
    int m_redirects = 0;
    bool m_redirecting = false;
    bool m_completed = false;
};

}  // namespace kestrin
