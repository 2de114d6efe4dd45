#pragma once
// A one-message-at-a-time channel between two processes on this machine: a named shared
// mapping (name + "_map") holding a 32-bit little-endian length and the message bytes,
// and two named auto-reset events, "_server" (a request is waiting) and "_client" (its
// reply is back). The creating side (an outside debugger, or a test playing it) makes the
// objects and answers requests; the opening side (the engine) sends requests, each after
// the reply to the one before.
//
// Every length read from the mapping is checked against the mapping's size. The opening
// side learns that size when it opens the mapping, refuses messages that would not fit,
// and SendText splits long text into messages that do. The queue of messages waiting for
// their turn is bounded: when it is full the oldest waiting message is dropped.
//
// The opening side uses only objects of its own user that nobody else may open. The mapping
// is copied in and out, never accessed in place, and the events fail rather than fault:
// when the other side shrinks any of the three, the access fails, the channel closes (one
// line on stderr) and the engine goes on without it. Of a reply only the length is read.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kestrin {

class ISharedMapping;
class INamedEvent;

class CProcessCommunication {
public:
    static constexpr size_t kMaxQueuedMessages = 256;
    static constexpr size_t kHeaderSize = 4;
    // The smallest mapping worth opening: "EXIT" and its zero must fit.
    static constexpr size_t kMinimumMappingSize = kHeaderSize + 5;

    // size non-zero: the creating side, making a mapping of that size and the events.
    // size 0: the opening side; the channel stays closed when any object is missing.
    CProcessCommunication(const std::string& name, size_t size);
    virtual ~CProcessCommunication();
    CProcessCommunication(const CProcessCommunication&) = delete;
    CProcessCommunication& operator=(const CProcessCommunication&) = delete;

    // Opening side: writes the message, or queues a copy while another is in flight. True
    // (failed) when the channel is closed, this is the creating side, the message cannot
    // fit the mapping, or the mapping no longer holds it.
    bool Send(const void* bytes, size_t length);
    // Sends text as messages that each end in a zero byte and fit the mapping, split after
    // a line end where one fits. True when nothing could be sent.
    bool SendText(const std::string& text);
    // One exchange step: the opening side takes a reply and sends the next queued message;
    // the creating side answers a waiting request. True when the channel is closed (also
    // when it closed during this step).
    bool Poll();
    // Opening side: until every queued message has left and its reply came, waiting at
    // most timeoutMs for each reply. False when all went; true when it gave up or the
    // channel closed on the way.
    bool Flush(int timeoutMs);

    bool IsOpen() const { return m_open; }
    bool IsInFlight() const { return m_inFlight; }
    size_t GetQueuedCount() const { return m_queue.size(); }
    // The most message bytes the mapping carries (0 while closed).
    size_t GetMessageCapacity() const;

    // The bytes of the message held in a mapping view of size bytes: false when the view
    // cannot hold a length, or the length it holds runs past its end.
    static bool ReadMessage(const uint8_t* view, size_t size, uint32_t& length);

    // The debug channel's name: "Kestrin_Debug", or the one KESTRIN_DEBUG_CHANNEL names.
    static std::string GetDebugChannelName();

protected:
    // Creating side: a request of length bytes; the handler may rewrite the bytes and the
    // length in place, up to GetMessageCapacity() bytes. The base leaves them as they are.
    virtual void OnRequest(uint8_t* bytes, uint32_t& length);
    // Opening side: the reply to the last request came, of length bytes (within the
    // mapping). Its bytes are left in the mapping unread: nothing here uses them. The base
    // ignores it.
    virtual void OnReply(uint32_t length);

private:
    // True when the mapping could not be written (the channel is closed then).
    bool Write(const uint8_t* bytes, size_t length);
    bool ReadHeader(uint32_t& length);
    void TakeReply();
    void SendQueued();
    void Answer();
    // The mapping shrank: nothing more is sent or answered.
    void Close();
    void CloseBecause(const std::string& why);
    // Closes the channel when the event's object was broken under it; true then.
    bool CloseIfGone(const INamedEvent& event, const char* suffix);

    std::string m_name;
    size_t m_size;
    std::unique_ptr<ISharedMapping> m_mapping;
    std::unique_ptr<INamedEvent> m_request;
    std::unique_ptr<INamedEvent> m_reply;
    bool m_open = false;
    bool m_inFlight = false;
    std::deque<std::vector<uint8_t>> m_queue;
    bool m_dropLogged = false;
};

}  // namespace kestrin
