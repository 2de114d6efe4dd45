#pragma once
// The tests' Python HTTP server shared by the tests of one suite.
#include <string>

#include "HttpServers.h"
#include "support/TestSupport.h"

namespace kestrin_test {

// The Python server of a whole test suite, with its store folder: Start in SetUpTestSuite,
// Stop in TearDownTestSuite.
struct SuitePythonServer {
    TempDir* store = nullptr;
    ServerProcess* server = nullptr;
    int port = 0;
    bool ready = false;

    void Start() {
        store = new TempDir();
        port = FreePort();
        server = new ServerProcess();
        ready = StartPythonServer(*server, port, store->Path());
    }
    void Stop() {
        delete server;
        server = nullptr;
        delete store;
        store = nullptr;
    }
};

}  // namespace kestrin_test
