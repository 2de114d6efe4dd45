#pragma once
// A private connection to a D-Bus bus over libdbus, driven by hand from the frame thread: no
// main loop, no thread of its own, every wait bounded by the caller's time.
#include <memory>
#include <string>

#include "CORE/Platform/IDbusConnection.h"

struct DBusConnection;

namespace kestrin {

class LibdbusConnection : public IDbusConnection {
public:
    // Connects to a bus address ("unix:path=...", "unix:abstract=...") and says hello to the
    // bus within timeoutMs; null (with the reason in error) when that fails. Only local
    // ("unix:") addresses are taken: anything else could keep the frame waiting on a network.
    static std::unique_ptr<LibdbusConnection> Open(const std::string& address, int timeoutMs, std::string& error);
    ~LibdbusConnection() override;
    LibdbusConnection(const LibdbusConnection&) = delete;
    LibdbusConnection& operator=(const LibdbusConnection&) = delete;

    EDbusReply Call(const SDbusMessage& call, int timeoutMs, std::vector<DbusValue>& reply) override;
    bool Send(const SDbusMessage& call) override;
    bool TakeSignal(SDbusMessage& out) override;
    bool IsConnected() override;

private:
    explicit LibdbusConnection(DBusConnection* connection) : m_connection(connection) {}

    DBusConnection* m_connection = nullptr;
};

}  // namespace kestrin
