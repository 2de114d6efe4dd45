#pragma once
// Test double: named mappings and events inside this process, so that both sides of a
// channel can run in one test. Wait never blocks: it is TryWait.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "NETWORK/Platform/ISharedMemoryService.h"

namespace kestrin {

class HeadlessSharedMemoryService : public ISharedMemoryService {
public:
    std::unique_ptr<ISharedMapping> OpenMapping(const std::string& name, std::string* refusal) override;
    std::unique_ptr<INamedEvent> OpenEvent(const std::string& name, std::string* refusal) override;
    std::unique_ptr<ISharedMapping> CreateMapping(const std::string& name, size_t size) override;
    std::unique_ptr<INamedEvent> CreateEvent(const std::string& name) override;

    // True while an object of that name exists.
    bool Exists(const std::string& name) const;
    int createCalls = 0;

    struct Registry {
        std::map<std::string, std::shared_ptr<std::vector<uint8_t>>> mappings;
        std::map<std::string, std::shared_ptr<int>> events;
    };

private:
    std::shared_ptr<Registry> m_registry = std::make_shared<Registry>();
};

}  // namespace kestrin
