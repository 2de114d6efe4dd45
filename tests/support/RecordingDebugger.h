#pragma once
// The debugger's side of a debug channel for tests: every message the engine sends is kept,
// and each is answered with itself.
#include <cstdint>
#include <string>
#include <vector>

#include "NETWORK/CProcessCommunication.h"

namespace kestrin_test {

class RecordingDebugger : public kestrin::CProcessCommunication {
public:
    RecordingDebugger(const std::string& name, size_t size) : CProcessCommunication(name, size) {}
    void OnRequest(uint8_t* bytes, uint32_t& length) override {
        messages.emplace_back(reinterpret_cast<const char*>(bytes), length);
    }
    std::vector<std::string> messages;
};

}  // namespace kestrin_test
