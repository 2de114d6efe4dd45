#include "NETWORK/CProcessCommunication.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "CORE/CLogWindow.h"
#include "CORE/RuntimeConfiguration.h"
#include "NETWORK/Platform/ISharedMemoryService.h"

namespace kestrin {

namespace {

const char kDefaultChannelName[] = "Kestrin_Debug";
constexpr size_t kLongestChannelName = 200;
const char kMappingSuffix[] = "_map";
const char kRequestSuffix[] = "_server";
const char kReplySuffix[] = "_client";

uint32_t ReadLength(const uint8_t* view) {
    return static_cast<uint32_t>(view[0]) | (static_cast<uint32_t>(view[1]) << 8) |
           (static_cast<uint32_t>(view[2]) << 16) | (static_cast<uint32_t>(view[3]) << 24);
}

void WriteLength(uint8_t* view, uint32_t length) {
    view[0] = static_cast<uint8_t>(length);
    view[1] = static_cast<uint8_t>(length >> 8);
    view[2] = static_cast<uint8_t>(length >> 16);
    view[3] = static_cast<uint8_t>(length >> 24);
}

}  // namespace

CProcessCommunication::CProcessCommunication(const std::string& name, size_t size) : m_name(name), m_size(size) {
    ISharedMemoryService* service = GetSharedMemoryService();
    if (size != 0) {
        if (size < kMinimumMappingSize) return;
        m_mapping = service->CreateMapping(name + kMappingSuffix, size);
        m_request = service->CreateEvent(name + kRequestSuffix);
        m_reply = service->CreateEvent(name + kReplySuffix);
    } else {
        // Objects made by anyone but this user are refused: they would hand the whole trace
        // to them, and the one who made the mapping can shrink it under us.
        std::string refusals[3];
        m_mapping = service->OpenMapping(name + kMappingSuffix, &refusals[0]);
        m_request = service->OpenEvent(name + kRequestSuffix, &refusals[1]);
        m_reply = service->OpenEvent(name + kReplySuffix, &refusals[2]);
        for (const std::string& refusal : refusals) {
            if (refusal.empty()) continue;
            Log(ELogLevel::Error, "debug channel", "%s; the channel stays closed", refusal.c_str());
            m_mapping.reset();
            break;
        }
        if (m_mapping && m_mapping->Size() < kMinimumMappingSize) {
            Log(ELogLevel::Error, "debug channel",
                "\"%s_map\" holds %zu bytes, too few for a message; the channel stays closed", name.c_str(),
                m_mapping->Size());
            m_mapping.reset();
        }
    }
    m_open = m_mapping && m_request && m_reply;
}

CProcessCommunication::~CProcessCommunication() = default;

std::string CProcessCommunication::GetDebugChannelName() {
    const std::string& name = GetRuntimeConfiguration().debugChannel;
    if (name.empty()) return kDefaultChannelName;
    const char* text = name.c_str();
    if (name.size() > kLongestChannelName || name.find('/') != std::string::npos) {
        Log(ELogLevel::Warning, "debug channel", "KESTRIN_DEBUG_CHANNEL \"%s\" is not a usable name; using %s", text,
            kDefaultChannelName);
        return kDefaultChannelName;
    }
    return name;
}

// No more than the 32-bit length can say, however large the mapping.
size_t CProcessCommunication::GetMessageCapacity() const {
    return m_open ? std::min<size_t>(m_mapping->Size() - kHeaderSize, UINT32_MAX) : 0;
}

bool CProcessCommunication::ReadMessage(const uint8_t* view, size_t size, uint32_t& length) {
    if (!view || size < kHeaderSize) return false;
    length = ReadLength(view);
    return length <= size - kHeaderSize;
}

void CProcessCommunication::Close() { CloseBecause("the shared memory no longer holds its size"); }

void CProcessCommunication::CloseBecause(const std::string& why) {
    if (!m_open) return;
    m_open = false;
    m_inFlight = false;
    m_queue.clear();
    Log(ELogLevel::Error, "debug channel", "%s; the channel is closed", why.c_str());
}

bool CProcessCommunication::CloseIfGone(const INamedEvent& event, const char* suffix) {
    if (!event.IsGone()) return false;
    CloseBecause("\"" + m_name + suffix + "\" no longer holds its semaphore");
    return true;
}

bool CProcessCommunication::Write(const uint8_t* bytes, size_t length) {
    std::vector<uint8_t> message(kHeaderSize + length);
    WriteLength(message.data(), static_cast<uint32_t>(length));
    if (length) std::memcpy(message.data() + kHeaderSize, bytes, length);
    if (m_mapping->Write(0, message.data(), message.size())) {
        Close();
        return true;
    }
    if (m_request->Set()) {
        CloseIfGone(*m_request, kRequestSuffix);
        return true;
    }
    m_inFlight = true;
    return false;
}

bool CProcessCommunication::Send(const void* bytes, size_t length) {
    if (!m_open || m_size != 0) return true;
    if (length > GetMessageCapacity()) return true;
    const uint8_t* begin = static_cast<const uint8_t*>(bytes);
    if (!m_inFlight && m_queue.empty()) return Write(begin, length);
    if (m_queue.size() >= kMaxQueuedMessages) {
        // The debugger has stopped answering: the newest text matters most, and "EXIT"
        // must still get in at the end.
        m_queue.pop_front();
        if (!m_dropLogged) {
            m_dropLogged = true;
            Log(ELogLevel::Warning, "debug channel", "the debugger does not answer; older trace text is dropped");
        }
    }
    m_queue.emplace_back(begin, begin + length);
    return false;
}

bool CProcessCommunication::SendText(const std::string& text) {
    const size_t capacity = GetMessageCapacity();
    if (!m_open || m_size != 0 || capacity < 2) return true;
    const size_t longest = capacity - 1;  // room for the zero
    bool failed = true;
    size_t start = 0;
    while (start < text.size()) {
        size_t count = text.size() - start;
        if (count > longest) {
            count = longest;
            size_t lineEnd = text.rfind('\n', start + longest - 1);
            if (lineEnd != std::string::npos && lineEnd >= start) count = lineEnd - start + 1;
        }
        std::vector<uint8_t> message(text.begin() + static_cast<long>(start),
                                     text.begin() + static_cast<long>(start + count));
        message.push_back(0);
        if (!Send(message.data(), message.size())) failed = false;
        start += count;
    }
    return failed;
}

// Reads the length at offset 0 of the mapping; false when the mapping no longer holds it.
bool CProcessCommunication::ReadHeader(uint32_t& length) {
    uint8_t header[kHeaderSize];
    if (m_mapping->Read(0, header, kHeaderSize)) return false;
    length = ReadLength(header);
    return true;
}

void CProcessCommunication::TakeReply() {
    m_inFlight = false;
    uint32_t length = 0;
    if (!ReadHeader(length)) return Close();
    // Only the length is read: nothing here uses a reply's bytes, and the other side may
    // claim as many as its mapping holds.
    if (length > GetMessageCapacity()) {
        Log(ELogLevel::Warning, "debug channel", "a reply of %u bytes runs past the shared memory and was dropped",
            length);
        return;
    }
    OnReply(length);
}

void CProcessCommunication::SendQueued() {
    if (!m_open || m_inFlight || m_queue.empty()) return;
    std::vector<uint8_t> front = std::move(m_queue.front());
    m_queue.pop_front();
    Write(front.data(), front.size());
}

void CProcessCommunication::Answer() {
    const size_t capacity = GetMessageCapacity();
    uint32_t length = 0;
    // Room for the largest answer the handler may write in place.
    std::vector<uint8_t> message(kHeaderSize + capacity);
    bool gone = !ReadHeader(length);
    if (gone || length > capacity) {
        // A request that runs past the mapping is answered empty, unread.
        if (!gone)
            Log(ELogLevel::Warning, "debug channel",
                "a request of %u bytes runs past the shared memory and is answered empty", length);
        length = 0;
    } else if (m_mapping->Read(kHeaderSize, message.data() + kHeaderSize, length)) {
        gone = true;
    } else {
        OnRequest(message.data() + kHeaderSize, length);
        if (length > capacity) length = static_cast<uint32_t>(capacity);
    }
    WriteLength(message.data(), length);
    if (!gone) gone = m_mapping->Write(0, message.data(), kHeaderSize + length);
    // The sender is released even when the mapping is gone: it then finds that out itself.
    if (m_reply->Set() && CloseIfGone(*m_reply, kReplySuffix)) return;
    if (gone) Close();
}

bool CProcessCommunication::Poll() {
    if (!m_open) return true;
    if (m_size != 0) {
        if (m_request->TryWait()) {
            Answer();
        } else {
            CloseIfGone(*m_request, kRequestSuffix);
        }
        return !m_open;
    }
    if (m_inFlight) {
        if (m_reply->TryWait()) {
            TakeReply();
        } else if (CloseIfGone(*m_reply, kReplySuffix)) {
            return true;
        }
    }
    SendQueued();
    return !m_open;
}

bool CProcessCommunication::Flush(int timeoutMs) {
    if (!m_open || m_size != 0) return !m_queue.empty();
    while (m_open && (m_inFlight || !m_queue.empty())) {
        if (m_inFlight) {
            if (!m_reply->Wait(timeoutMs)) {
                // A debugger that broke an object after taking the last message answers no
                // more: say which object, rather than blaming a silent debugger.
                uint32_t length = 0;
                if (!CloseIfGone(*m_reply, kReplySuffix) &&
                    !(m_request->Probe() && CloseIfGone(*m_request, kRequestSuffix)) && !ReadHeader(length))
                    Close();
                return true;
            }
            TakeReply();
        }
        SendQueued();
    }
    return !m_open;
}

void CProcessCommunication::OnRequest(uint8_t* bytes, uint32_t& length) {
    (void)bytes;
    (void)length;
}

void CProcessCommunication::OnReply(uint32_t length) { (void)length; }

}  // namespace kestrin
