#include "NETWORK/UnisonSync.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <memory>
#include <vector>

#include "CORE/CBinaryStream.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"
#include "CORE/FileFunctions.h"
#include "CORE/GamePath.h"
#include "CORE/StringHelpers.h"
#include "NETWORK/CHttpSocket.h"
#include "NETWORK/CMimeMultiPart.h"
#include "NETWORK/CUrl.h"
#include "NETWORK/NetworkMessages.h"
#include "babel/babel.h"

namespace kestrin {

namespace {

using Clock = std::chrono::steady_clock;

// The game folder is current again whenever the exchange returns.
class CFolderGuard {
public:
    explicit CFolderGuard(const std::string& folder) : m_folder(folder) {}
    ~CFolderGuard() {
        if (!m_folder.empty()) ChangeDirectory(m_folder);
    }

private:
    std::string m_folder;
};

// A server given as "http://host" (no path) still names the root.
std::string WithPath(const std::string& server) {
    size_t scheme = server.find("://");
    size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    if (server.find('/', start) == std::string::npos) return server + "/";
    return server;
}

// The server's URL was checked as reachable; a query after its path leaves host and port.
std::unique_ptr<CHttpSocket> MakeSocket(const CUrl& url) {
    auto socket = std::make_unique<CHttpSocket>(url.GetHost(), url.GetPort());
    socket->SetForceNonBlocking(true);
    return socket;
}

enum class EExchange { Done, ConnectFailed, Failed, Closed };

// Sends what is queued and reads the reply, within the deadline and until a close request.
EExchange Exchange(CHttpSocket& socket, Clock::time_point deadline, const SUnisonOptions& options, std::string& body) {
    auto failure = [&socket] {
        // A connection the server refused is a failure to connect, not one of the exchange.
        const int step = socket.GetErrorStep();
        return step == CClientSocket::kStepHostNotFound || step == CClientSocket::kStepSocket ||
                       step == CClientSocket::kStepConnect || step == CClientSocket::kStepPendingConnect
                   ? EExchange::ConnectFailed
                   : EExchange::Failed;
    };
    for (;;) {
        if (Clock::now() >= deadline) return EExchange::Failed;
        if (options.closeRequested && options.closeRequested()) {
            LogConsole("unison: a request to close the game ended the exchange with the server");
            return EExchange::Closed;
        }
        if (socket.GetQueuedBytes() != 0) {
            if (socket.Update()) return failure();
        } else {
            int length = 0;
            if (socket.Receive(body, length)) return failure();
            if (socket.HasCompleted()) return EExchange::Done;
        }
        socket.WaitReady(1);
    }
}

}  // namespace

std::string UnisonSync(const std::string& file, const std::string& server, const std::string& appname,
                       const std::string& id, const std::string& pass, const SUnisonOptions& options) {
    auto text = [&options](const char* utf8) {
        return options.textEncoding == kEncodingUtf8 ? std::string(utf8) : babel::utf8_to_sjis(utf8);
    };
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(options.timeLimitMs);
    std::string local;
    if (!NormalizeFolderName(file, local) || local.empty()) return text(netmsg::kOutsideFolders);
    size_t slash = file.find_last_of('\\');
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    const std::string base = WithPath(server);
    if (CUrl(base).CheckReachable() != CUrl::kReachable) return text(netmsg::kConnectFailed);
    const std::string query = "&appname=" + UrlEncode(appname) + "&id=" + UrlEncode(id) + "&pass=" + UrlEncode(pass) +
                              "&filename=" + UrlEncode(name);

    int32_t serverTime = 0;
    {
        CUrl url(base + "?mode=info" + query);
        auto socket = MakeSocket(url);
        if (socket->Get(url.GetRequestTarget())) return text(netmsg::kConnectFailed);
        std::string answer;
        const EExchange result = Exchange(*socket, deadline, options, answer);
        if (result != EExchange::Done)
            return text(result == EExchange::ConnectFailed ? netmsg::kConnectFailed : netmsg::kExchangeFailed);
        std::vector<std::string> fields;
        SplitString(answer.c_str(), fields, ",");
        if (fields.size() >= 2 && fields[0] == "NG") return fields[1];
        if (fields.size() < 2 || fields[0] != "OK") return text(netmsg::kBadInfoReply);
        serverTime = ParseInt32(fields[1]);
    }

    CDynamicVariables* folders = CDynamicVariables::GetInstance();
    const std::string gameFolder = folders->GetString("GameDataPath");
    const std::string saveFolder = folders->GetString("SaveDataPath");
    CFolderGuard guard(gameFolder);
    if (!saveFolder.empty()) ChangeDirectory(saveFolder);
    ClearGamePathCache();
    const std::string native = ResolveGamePathForWrite(local);
    const int32_t localTime = GetFileUpdateTime(native, nullptr);

    if (localTime < serverTime) {
        CUrl url(base + "?mode=down" + query);
        auto socket = MakeSocket(url);
        MakeParentDirectories(native);
        // The reply goes to a temporary file that replaces the save only when complete.
        socket->SetDownloadFile(native);
        if (socket->Get(url.GetRequestTarget())) return text(netmsg::kConnectFailed);
        std::string unused;
        const EExchange result = Exchange(*socket, deadline, options, unused);
        if (result == EExchange::ConnectFailed) return text(netmsg::kConnectFailed);
        // Only a complete 200 reply replaced the file.
        if (result != EExchange::Done || socket->GetStatusCode() != 200) return text(netmsg::kExchangeFailed);
        ClearGamePathCache();
    } else if (serverTime < localTime) {
        std::vector<unsigned char> bytes;
        std::FILE* input = std::fopen(native.c_str(), "rb");
        if (!input) return text(netmsg::kCannotOpen);
        unsigned char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, input)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
        const bool readFailed = std::ferror(input) != 0;
        std::fclose(input);
        if (readFailed) return text(netmsg::kCannotOpen);

        std::list<std::shared_ptr<CMimeMultiPart>> parts;
        auto field = [&parts](const char* fieldName, const std::string& value) {
            parts.push_back(std::make_shared<CMimeMultiPart>(
                std::string("Content-Disposition: form-data; name=\"") + fieldName + "\"", value));
        };
        field("mode", "up");
        field("appname", appname);
        field("id", id);
        field("pass", pass);
        field("filename", name);
        field("filetime", std::to_string(localTime));
        CBinaryStream::CMemoryInfo data(bytes.data(), static_cast<int32_t>(bytes.size()));
        parts.push_back(std::make_shared<CMimeMultiPart>("Content-Disposition: form-data; name=\"file\"; filename=\"" +
                                                             CMimeMultiPart::QuoteName(file) +
                                                             "\"\r\nContent-Type: application/octet-stream",
                                                         data));
        CBinaryStream stream;
        const std::string boundary = BuildMultipartBody(stream, parts);
        CUrl url(base);
        auto socket = MakeSocket(url);
        socket->SetRequestHeaders({{"Content-Type", "multipart/form-data; boundary=" + boundary}});
        CBinaryStream::CMemoryInfo* flat = stream.GetMemory();
        if (socket->Request(url.GetRequestTarget(), flat ? reinterpret_cast<const char*>(flat->data) : "",
                            flat ? flat->size : 0)) {
            return text(netmsg::kConnectFailed);
        }
        std::string answer;
        const EExchange result = Exchange(*socket, deadline, options, answer);
        if (result != EExchange::Done)
            return text(result == EExchange::ConnectFailed ? netmsg::kConnectFailed : netmsg::kExchangeFailed);
        std::vector<std::string> fields;
        SplitString(answer.c_str(), fields, ",");
        if (fields.size() >= 2 && fields[0] == "NG") return fields[1];
        if (fields.empty() || fields[0] != "OK") return text(netmsg::kBadUploadReply);
    }
    return std::string();
}

}  // namespace kestrin
