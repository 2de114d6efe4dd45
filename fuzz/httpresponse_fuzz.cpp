// The HTTP response reader over arbitrary replies, each fed whole, byte by byte and in
// pieces of random sizes (the first two input bytes seed them): every split must give the
// same outcome (failure step, status, body), and nothing reads out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "NETWORK/CHttpSocket.h"
#include "NETWORK/Platform/HeadlessSocketService.h"

namespace {

struct Outcome {
    bool failed = false;
    bool completed = false;
    int step = 0;
    int status = 0;
    std::string body;
    bool operator==(const Outcome& o) const {
        return failed == o.failed && completed == o.completed && step == o.step && status == o.status && body == o.body;
    }
};

Outcome Run(const std::string& reply, const std::vector<size_t>& pieces) {
    kestrin::HeadlessSocketService service;
    service.acceptConnects = true;
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.socketService = kestrin::Unowned(service);
    kestrin::PlatformServicesScope scope(services);
    Outcome out;
    {
        kestrin::CHttpSocket socket("127.0.0.1", 80);
        socket.SetForceNonBlocking(true);
        socket.Get("/");
        socket.Update();
        const int peer = service.lastConnectPeer;
        size_t at = 0;
        size_t next = 0;
        // Every piece needs at most a few calls; a reply that waits for more stays pending.
        const size_t limit = 4 * (pieces.size() + 4);
        for (size_t call = 0; call < limit; ++call) {
            if (socket.GetQueuedBytes() != 0) {
                if (socket.Update()) break;
                continue;
            }
            if (service.lastConnectPeer == peer) {
                if (next < pieces.size()) {
                    service.PeerSend(peer, reply.substr(at, pieces[next]));
                    at += pieces[next++];
                } else if (at >= reply.size()) {
                    service.PeerClose(peer);
                }
            }
            int length = 0;
            if (socket.Receive(out.body, length)) {
                out.failed = true;
                out.step = socket.GetErrorStep();
                break;
            }
            if (socket.HasCompleted()) {
                out.completed = true;
                out.status = socket.GetStatusCode();
                break;
            }
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 8192) return 0;
    const unsigned seed = data[0] | (data[1] << 8);
    const std::string reply(reinterpret_cast<const char*>(data) + 2, size - 2);
    const Outcome whole = Run(reply, {reply.size()});
    const Outcome bytewise = Run(reply, std::vector<size_t>(reply.size(), 1));
    std::mt19937 random(seed);
    std::vector<size_t> pieces;
    for (size_t left = reply.size(); left > 0;) {
        size_t n = std::min<size_t>(left, 1 + random() % 64);
        pieces.push_back(n);
        left -= n;
    }
    const Outcome split = Run(reply, pieces);
    if (!(whole == bytewise) || !(whole == split)) std::abort();
    return 0;
}
