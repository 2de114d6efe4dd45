// HTTP receive rate on loopback: a 100 MB body from nginx read by CHttpSocket into memory
// (polled in a loop, as the save-data synchronisation does), against curl fetching the same
// file from the same server. Compare the two bytes_per_second figures.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "../tests/network/HttpServers.h"
#include "NETWORK/CHttpSocket.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kBodyBytes = int64_t(100) << 20;

struct Server {
    fs::path dir;
    int port = 0;
    kestrin_test::ServerProcess process;
    bool ready = false;
    Server() {
        dir = fs::temp_directory_path() / ("kestrin_network_bench_" + std::to_string(getpid()));
        fs::create_directories(dir / "www");
        fs::create_directories(dir / "tmp");
        {
            std::ofstream out(dir / "www" / "big.bin", std::ios::binary);
            std::string block(1 << 20, 'k');
            for (int64_t i = 0; i < kBodyBytes / int64_t(block.size()); ++i) out.write(block.data(), block.size());
        }
        port = kestrin_test::FreePort();
        ready = kestrin_test::StartNginx(process, dir.string(), port, "");
    }
    ~Server() {
        process.Stop();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Server& GetServer() {
    static Server server;
    return server;
}

void BM_HttpSocketReceive(benchmark::State& state) {
    Server& server = GetServer();
    if (!server.ready) {
        state.SkipWithError("nginx did not start");
        return;
    }
    for (auto _ : state) {
        kestrin::CHttpSocket socket("127.0.0.1", static_cast<uint16_t>(server.port));
        socket.SetForceNonBlocking(true);
        if (socket.Get("/big.bin")) {
            state.SkipWithError("request failed");
            return;
        }
        int length = 0;
        for (;;) {
            if (socket.GetQueuedBytes() != 0) {
                if (socket.Update()) break;
            } else {
                std::string body;
                if (socket.Receive(body, length)) break;
                if (socket.HasCompleted()) break;
            }
            socket.WaitReady(1);
        }
        if (length != kBodyBytes) {
            state.SkipWithError("short body");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * kBodyBytes);
}
BENCHMARK(BM_HttpSocketReceive)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlReceive(benchmark::State& state) {
    Server& server = GetServer();
    if (!server.ready) {
        state.SkipWithError("nginx did not start");
        return;
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port) + "/big.bin";
    std::vector<std::string> args = {"curl", "-s", "-o", "/dev/null", url};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("curl did not start");
            return;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("curl failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * kBodyBytes);
}
BENCHMARK(BM_CurlReceive)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
