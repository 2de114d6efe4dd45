#pragma once
// A connection to one D-Bus bus (the session bus or an input method's own bus), used from the
// frame thread only. Nothing here waits longer than the time a call is given.
#include <string>
#include <vector>

#include "CORE/Platform/DbusValue.h"

namespace kestrin {

struct SDbusMessage {
    std::string destination;  // a call's bus name; empty for signals that arrived
    std::string path;
    std::string interface;
    std::string member;
    std::vector<DbusValue> args;
};

enum class EDbusReply {
    Replied,   // the reply's arguments are in the out list
    Failed,    // an error reply, a message that could not be sent, or a closed connection
    TimedOut,  // no reply within the time; one that comes later is dropped
};

class IDbusConnection {
public:
    virtual ~IDbusConnection() = default;

    // Sends a method call and waits up to timeoutMs for its reply. Signals that arrive
    // meanwhile are kept for TakeSignal, in order.
    virtual EDbusReply Call(const SDbusMessage& call, int timeoutMs, std::vector<DbusValue>& reply) = 0;
    // Sends a method call that wants no reply; returns at once (what cannot be written yet is
    // written by later calls). False when the connection is closed.
    virtual bool Send(const SDbusMessage& call) = 0;
    // Reads what has arrived without waiting and takes the oldest signal; false when none is
    // there. Replies that came too late and calls to us are dropped on the way.
    virtual bool TakeSignal(SDbusMessage& out) = 0;
    // False once the other side hung up or the connection was closed.
    virtual bool IsConnected() = 0;
};

}  // namespace kestrin
