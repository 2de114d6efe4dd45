#include "NETWORK/COruHttp.h"

#include <cstdio>
#include <list>
#include <map>
#include <vector>

#include "CORE/CBinaryStream.h"
#include "CORE/GamePath.h"
#include "NETWORK/CMimeMultiPart.h"
#include "NETWORK/CUrl.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/VarFunctions.h"

namespace kestrin {

namespace {

const char kTextBadUrl[] = "ドメインが見つからないか、不正なURLです";
const char kTextSendFailed[] = "サーバとの通信に失敗しました";
const char kTextReceiveFailed[] = "サーバからの受信に失敗しました";

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

bool COruHttp::RefuseControl(const std::string& attribute, const std::string& value) {
    if (!HasControl(value)) return false;
    m_owner->Trace(0, "%sタグ %sパラメータに改行文字またはNUL文字が含まれています。", m_block.GetName().c_str(),
                   attribute.c_str());
    return true;
}

bool COruHttp::Request(const CScriptBlock& block) {
    if (m_request) return true;
    m_block = block;
    const std::string& urlText = block.GetAttribute("url");
    if (RefuseControl("url", urlText)) {
        SetResult(-1, kTextBadUrl);
        return false;
    }
    CUrl url(urlText);
    const CUrl::EReach reach = url.CheckReachable();
    if (reach != CUrl::kReachable) {
        m_owner->Trace(0, "%sタグ urlパラメータ \"%s\": %s", block.GetName().c_str(), urlText.c_str(),
                       m_owner->EngineText(CUrl::UnreachableText(reach)).c_str());
        SetResult(-1, kTextBadUrl);
        return false;
    }
    const int port = url.GetPort();
    m_request = std::make_shared<CHttpSocket>(url.GetHost(), static_cast<uint16_t>(port > 0 && port < 65536 ? port : 0));
    m_request->SetForceNonBlocking(true);

    std::map<std::string, std::string> headers;
    for (int n = 0;; ++n) {
        const std::string key = "header_key" + std::to_string(n);
        const std::string value = "header_value" + std::to_string(n);
        if (!block.HasAttribute(key) || !block.HasAttribute(value)) break;
        if (RefuseControl(key, block.GetAttribute(key)) || RefuseControl(value, block.GetAttribute(value)) ||
            block.GetAttribute(key).empty() || block.GetAttribute(key).find(':') != std::string::npos) {
            SetResult(-1, kTextBadUrl);
            return false;
        }
        headers[block.GetAttribute(key)] = block.GetAttribute(value);
    }
    if (block.HasAttribute("filename")) {
        std::string name;
        if (!NormalizeFolderName(block.GetAttribute("filename"), name) || name.empty()) {
            m_owner->Trace(0, "%sタグ filename=\"%s\": ゲームフォルダとセーブフォルダの外にあるファイルは扱えません。",
                           block.GetName().c_str(), block.GetAttribute("filename").c_str());
            SetResult(-1, kTextBadUrl);
            return false;
        }
        m_request->SetDownloadFile(ResolveGamePathForWrite(name));
    }
    bool failed;
    if (block.GetName() == "httppost") {
        failed = BuildPost(headers, url.GetRequestTarget());
    } else {
        m_request->SetRequestHeaders(headers);
        failed = m_request->Get(url.GetRequestTarget());
    }
    if (failed) SetResult(-1, kTextBadUrl);
    return false;
}

bool COruHttp::BuildPost(std::map<std::string, std::string>& headers, const std::string& target) {
    std::string form;
    std::list<std::shared_ptr<CMimeMultiPart>> parts;
    bool withFile = false;
    for (int n = 0;; ++n) {
        const std::string keyName = "key" + std::to_string(n);
        if (!m_block.HasAttribute(keyName)) break;
        const std::string valueName = "value" + std::to_string(n);
        const std::string fileName = "file" + std::to_string(n);
        const std::string& key = m_block.GetAttribute(keyName);
        const std::string disposition = "Content-Disposition: form-data; name=\"" + CMimeMultiPart::QuoteName(key) + "\"";
        if (m_block.HasAttribute(valueName)) {
            const std::string& value = m_block.GetAttribute(valueName);
            if (!form.empty()) form += "&";
            form += key + "=" + value;
            parts.push_back(std::make_shared<CMimeMultiPart>(disposition, value));
        } else if (m_block.HasAttribute(fileName)) {
            const std::string& path = m_block.GetAttribute(fileName);
            std::string name;
            std::vector<unsigned char> bytes;
            if (!NormalizeFolderName(path, name) || name.empty()) {
                m_owner->Trace(0, "httppostタグ %s=\"%s\": ゲームフォルダとセーブフォルダの外にあるファイルは扱えません。",
                               fileName.c_str(), path.c_str());
                continue;
            }
            if (!ReadWholeFile(name, bytes)) {
                m_owner->Trace(0, "httppostタグ %sパラメータで指定されたファイルが見つかりません。", keyName.c_str());
                continue;
            }
            size_t slash = path.find_last_of("\\/");
            const std::string shortName = slash == std::string::npos ? path : path.substr(slash + 1);
            CBinaryStream::CMemoryInfo data(bytes.data(), static_cast<int32_t>(bytes.size()));
            parts.push_back(std::make_shared<CMimeMultiPart>(
                disposition + "; filename=\"" + CMimeMultiPart::QuoteName(shortName) + "\"", data));
            withFile = true;
        } else {
            m_owner->Trace(0, "httppostタグ %sパラメータに対応する %sパラメータまたは %sパラメータがありません。",
                           keyName.c_str(), valueName.c_str(), fileName.c_str());
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
    if (m_owner->GetVariables().GetInt("s.http.cancel") != 0) return true;
    if (m_request->GetQueuedBytes() != 0) {
        if (m_request->Update()) SetResult(-2, kTextSendFailed);
        return false;
    }
    char* body = nullptr;
    int length = 0;
    if (m_request->Receive(body, length)) {
        SetResult(-3, kTextReceiveFailed);
        return false;
    }
    if (!m_request->HasCompleted()) return false;
    SetResult(m_request->GetStatusCode(), body);
    delete[] body;
    return false;
}

void COruHttp::SetResult(int code, const char* text) {
    const int step = m_request ? m_request->GetErrorStep() : 0;
    const int errorCode = m_request ? m_request->GetErrorCode() : 0;
    // Dropped first: the completion action may start the next request.
    m_request.reset();
    COruVariables& variables = m_owner->GetVariables();
    variables.SetInt(m_block.GetAttribute("varname_code"), code);
    std::string data;
    if (code < 0) {
        char pair[32];
        std::snprintf(pair, sizeof pair, "(%d,%d)", step, errorCode);
        data = m_owner->EngineText(text ? text : "") + pair;
    } else if (text) {
        data = text;  // a body ends at its first zero byte
    }
    variables.SetString(m_block.GetAttribute("varname_data"), data);
    m_owner->RunEventBlock(CScriptBlock(m_block));
}

}  // namespace kestrin
