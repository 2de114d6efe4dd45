// The debug channel reads lengths and bytes that another process wrote into shared memory:
// any mapping contents, as a request or as a reply, must be read within the mapping or
// refused. The input is also sent as trace text, which is split to fit the mapping.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "Application/PlatformServicesScope.h"
#include "CORE/CLogWindow.h"
#include "NETWORK/CProcessCommunication.h"
#include "NETWORK/Platform/HeadlessSharedMemoryService.h"

namespace {

volatile uint32_t g_sink = 0;

void Touch(const uint8_t* bytes, uint32_t length) {
    uint32_t sum = 0;
    for (uint32_t i = 0; i < length; ++i) sum += bytes[i];
    g_sink = g_sink + sum;
}

class Server : public kestrin::CProcessCommunication {
public:
    Server(size_t size, uint32_t claim) : CProcessCommunication("Fuzz", size), m_claim(claim) {}
    void OnRequest(uint8_t* bytes, uint32_t& length) override {
        Touch(bytes, length);
        length = m_claim;
    }
    uint32_t m_claim;
};

class Client : public kestrin::CProcessCommunication {
public:
    Client() : CProcessCommunication("Fuzz", 0) {}
    void OnReply(uint32_t length) override { g_sink = g_sink + length; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kestrin::HeadlessSharedMemoryService* shared = [] {
        auto* service = new kestrin::HeadlessSharedMemoryService();
        kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
        services.sharedMemoryService = kestrin::Unowned(*service);
        static kestrin::PlatformServicesScope scope(services);
        kestrin::CLogWindow::SetLineSink([](const std::string&) {});
        return service;
    }();
    uint32_t length = 0;
    if (kestrin::CProcessCommunication::ReadMessage(data, size, length)) Touch(data + 4, length);
    if (size < 5) return 0;

    // The first four bytes are what the server's handler claims as its answer's length;
    // the rest is the mapping as the other process left it.
    uint32_t claim = 0;
    std::memcpy(&claim, data, 4);
    const uint8_t* contents = data + 4;
    const size_t mappingSize = std::max(size - 4, kestrin::CProcessCommunication::kMinimumMappingSize);
    Server server(mappingSize, claim);
    Client client;
    if (!server.IsOpen() || !client.IsOpen()) return 0;
    auto mapping = shared->OpenMapping("Fuzz_map", nullptr);
    auto request = shared->OpenEvent("Fuzz_server", nullptr);
    auto reply = shared->OpenEvent("Fuzz_client", nullptr);

    // A request as the other process wrote it.
    mapping->Write(0, contents, size - 4);
    request->Set();
    server.Poll();
    // A reply as the other process wrote it.
    client.Send("x", 2);
    request->TryWait();
    mapping->Write(0, contents, size - 4);
    reply->Set();
    client.Poll();

    // The bytes as trace text, through a whole exchange.
    client.SendText(std::string(reinterpret_cast<const char*>(contents), size - 4));
    for (int i = 0; i < 100000 && (client.IsInFlight() || client.GetQueuedCount() > 0); ++i) {
        server.Poll();
        client.Poll();
    }
    return 0;
}
