#include "NETWORK/COruHttp.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <list>
#include <map>
#include <vector>

#include "CORE/CBinaryStream.h"
#include "CORE/CTimer.h"
#include "CORE/GamePath.h"
#include "NETWORK/CMimeMultiPart.h"
#include "NETWORK/CUrl.h"
#include "NETWORK/NetworkMessages.h"

namespace kestrin {

namespace {

bool HasControl(const std::string& text) { return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

// The whole of a regular file, false when it cannot be read.
bool ReadWholeFile(const std::string& name, std::vector<unsigned char>& out) {
    std::string native;
    if (ResolveGamePath(name, native)) return false;
    std::FILE* file = std::fopen(native.c_str(), "rb");
    if (!file) return false;
    unsigned char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) out.insert(out.end(), buffer, buffer + got);
    // A folder opens on this system but cannot be read.
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

}  // namespace

void COruHttp::Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    m_host->TraceHttp(format, args);
    va_end(args);
}

bool COruHttp::RefuseControl(const std::string& attribute, const std::string& value) {
    if (!HasControl(value)) return false;
    Trace(netmsg::kControlCharacter, m_tag.name.c_str(), attribute.c_str());
    return true;
}

bool COruHttp::Request(const SHttpTag& tag) {
    if (m_request) return true;
    m_tag = tag;
    const SHttpTag& block = m_tag;
    const std::string& urlText = block.Get("url");
    if (RefuseControl("url", urlText)) {
        SetResult(-1, netmsg::kBadUrl);
        return false;
    }
    CUrl url(urlText);
    const CUrl::EReach reach = url.CheckReachable();
    if (reach != CUrl::kReachable) {
        Trace(netmsg::kUrlRefused, block.name.c_str(), urlText.c_str(),
              m_host->EngineText(CUrl::UnreachableText(reach)).c_str());
        SetResult(-1, netmsg::kBadUrl);
        return false;
    }
    m_request = std::make_shared<CHttpSocket>(url.GetHost(), url.GetPort());
    m_request->SetForceNonBlocking(true);
    m_windowStart = CTimer::GetInstance()->GetWallTime();
    m_windowBytes = 0;

    std::map<std::string, std::string> headers;
    for (int n = 0;; ++n) {
        const std::string key = "header_key" + std::to_string(n);
        const std::string value = "header_value" + std::to_string(n);
        if (!block.Has(key) || !block.Has(value)) break;
        if (RefuseControl(key, block.Get(key)) || RefuseControl(value, block.Get(value)) || block.Get(key).empty() ||
            block.Get(key).find(':') != std::string::npos) {
            SetResult(-1, netmsg::kBadUrl);
            return false;
        }
        headers[block.Get(key)] = block.Get(value);
    }
    if (block.Has("filename")) {
        std::string name;
        if (!NormalizeFolderName(block.Get("filename"), name) || name.empty()) {
            Trace(netmsg::kFileOutsideFolders, block.name.c_str(), "filename", block.Get("filename").c_str());
            SetResult(-1, netmsg::kBadUrl);
            return false;
        }
        m_request->SetDownloadFile(ResolveGamePathForWrite(name));
    }
    bool failed;
    if (block.name == "httppost") {
        failed = BuildPost(headers, url.GetRequestTarget());
    } else {
        m_request->SetRequestHeaders(headers);
        failed = m_request->Get(url.GetRequestTarget());
    }
    if (failed) SetResult(-1, netmsg::kBadUrl);
    return false;
}

bool COruHttp::BuildPost(std::map<std::string, std::string>& headers, const std::string& target) {
    std::string form;
    std::list<std::shared_ptr<CMimeMultiPart>> parts;
    bool withFile = false;
    for (int n = 0;; ++n) {
        const std::string keyName = "key" + std::to_string(n);
        if (!m_tag.Has(keyName)) break;
        const std::string valueName = "value" + std::to_string(n);
        const std::string fileName = "file" + std::to_string(n);
        const std::string& key = m_tag.Get(keyName);
        const std::string disposition =
            "Content-Disposition: form-data; name=\"" + CMimeMultiPart::QuoteName(key) + "\"";
        if (m_tag.Has(valueName)) {
            const std::string& value = m_tag.Get(valueName);
            if (!form.empty()) form += "&";
            form += key + "=" + value;
            parts.push_back(std::make_shared<CMimeMultiPart>(disposition, value));
        } else if (m_tag.Has(fileName)) {
            const std::string& path = m_tag.Get(fileName);
            std::string name;
            std::vector<unsigned char> bytes;
            if (!NormalizeFolderName(path, name) || name.empty()) {
                Trace(netmsg::kFileOutsideFolders, "httppost", fileName.c_str(), path.c_str());
                continue;
            }
            if (!ReadWholeFile(name, bytes)) {
                Trace(netmsg::kPostFileMissing, keyName.c_str());
                continue;
            }
            size_t slash = path.find_last_of("\\/");
            const std::string shortName = slash == std::string::npos ? path : path.substr(slash + 1);
            CBinaryStream::CMemoryInfo data(bytes.data(), static_cast<int32_t>(bytes.size()));
            parts.push_back(std::make_shared<CMimeMultiPart>(
                disposition + "; filename=\"" + CMimeMultiPart::QuoteName(shortName) + "\"", data));
            withFile = true;
        } else {
            Trace(netmsg::kPostValueMissing, keyName.c_str(), valueName.c_str(), fileName.c_str());
        }
    }
    if (!withFile) {
        headers["Content-Type"] = "application/x-www-form-urlencoded";
        m_request->SetRequestHeaders(headers);
        return m_request->Request(target, form.c_str(), static_cast<int>(form.size()));
    }
    CBinaryStream stream;
    const std::string boundary = BuildMultipartBody(stream, parts);
    headers["Content-Type"] = "multipart/form-data; boundary=" + boundary;
    m_request->SetRequestHeaders(headers);
    CBinaryStream::CMemoryInfo* flat = stream.GetMemory();
    return m_request->Request(target, flat ? reinterpret_cast<const char*>(flat->data) : "", flat ? flat->size : 0);
}

bool COruHttp::Update() {
    if (!m_request) return true;
    if (m_host->IsHttpCancelled()) return true;
    if (m_request->GetQueuedBytes() != 0) {
        if (m_request->Update() || Stalled()) SetResult(-2, netmsg::kSendFailed);
        return false;
    }
    std::string body;
    int length = 0;
    if (m_request->Receive(body, length)) {
        SetResult(-3, netmsg::kReceiveFailed);
        return false;
    }
    if (!m_request->HasCompleted()) {
        // A redirect queues a new request: its connect and send count as sending.
        const bool sending = m_request->GetQueuedBytes() != 0;
        if (Stalled()) SetResult(sending ? -2 : -3, sending ? netmsg::kSendFailed : netmsg::kReceiveFailed);
        return false;
    }
    // A body ends at its first zero byte; it is cut in place and moved on, never copied (it may
    // be hundreds of megabytes).
    body.resize(std::strlen(body.c_str()));
    SetResult(m_request->GetStatusCode(), std::move(body));
    return false;
}

bool COruHttp::Stalled() {
    // The window also runs while a cancelled request is held, so that the request a later
    // tag resumes is judged on what arrived meanwhile (its first step reads that).
    const uint32_t now = CTimer::GetInstance()->GetWallTime();
    const int64_t moved = m_request->GetBytesMoved();
    if (moved - m_windowBytes >= kStallBytes) {
        m_windowStart = now;
        m_windowBytes = moved;
        return false;
    }
    if (now - m_windowStart < kStallWindowMs) return false;
    m_request->Stall();
    return true;
}

void COruHttp::SetResult(int code, const char* text) { SetResult(code, std::string(text ? text : "")); }

void COruHttp::SetResult(int code, std::string text) {
    const int step = m_request ? m_request->GetErrorStep() : 0;
    const int errorCode = m_request ? m_request->GetErrorCode() : 0;
    // Dropped first: the completion action may start the next request.
    m_request.reset();
    m_host->SetHttpResult(m_tag.Get("varname_code"), code);
    if (code < 0) {
        char pair[32];
        std::snprintf(pair, sizeof pair, "(%d,%d)", step, errorCode);
        text = m_host->EngineText(text.c_str()) + pair;
    }
    m_host->SetHttpResult(m_tag.Get("varname_data"), std::move(text));
    m_host->RunHttpCompletion(m_tag);
}

}  // namespace kestrin
