#include "NETWORK/Platform/HeadlessSharedMemoryService.h"

#include <cstring>

namespace kestrin {

namespace {

class FakeMapping : public ISharedMapping {
public:
    FakeMapping(std::shared_ptr<std::vector<uint8_t>> bytes,
                std::shared_ptr<HeadlessSharedMemoryService::Registry> owner, std::string name)
        : m_bytes(std::move(bytes)), m_size(m_bytes->size()), m_owner(std::move(owner)), m_name(std::move(name)) {}
    ~FakeMapping() override {
        if (m_owner) m_owner->mappings.erase(m_name);
    }
    size_t Size() const override { return m_size; }
    bool Read(size_t offset, void* out, size_t size) override {
        if (!Within(offset, size)) return true;
        if (size) std::memcpy(out, m_bytes->data() + offset, size);
        return false;
    }
    bool Write(size_t offset, const void* data, size_t size) override {
        if (!Within(offset, size)) return true;
        if (size) std::memcpy(m_bytes->data() + offset, data, size);
        return false;
    }

private:
    // Against the bytes there are now: a test may shrink them.
    bool Within(size_t offset, size_t size) const {
        return offset <= m_size && size <= m_size - offset && offset + size <= m_bytes->size();
    }

    std::shared_ptr<std::vector<uint8_t>> m_bytes;
    size_t m_size;
    std::shared_ptr<HeadlessSharedMemoryService::Registry> m_owner;  // creating side only
    std::string m_name;
};

class FakeEvent : public INamedEvent {
public:
    FakeEvent(std::shared_ptr<int> signalled, std::shared_ptr<HeadlessSharedMemoryService::Registry> owner,
              std::string name)
        : m_signalled(std::move(signalled)), m_owner(std::move(owner)), m_name(std::move(name)) {}
    ~FakeEvent() override {
        if (m_owner) m_owner->events.erase(m_name);
    }
    bool Set() override {
        *m_signalled = 1;
        return false;
    }
    bool TryWait() override {
        bool was = *m_signalled != 0;
        *m_signalled = 0;
        return was;
    }
    bool Wait(int timeoutMs) override {
        (void)timeoutMs;
        return TryWait();
    }
    bool IsGone() const override { return false; }

private:
    std::shared_ptr<int> m_signalled;
    std::shared_ptr<HeadlessSharedMemoryService::Registry> m_owner;
    std::string m_name;
};

}  // namespace

std::unique_ptr<ISharedMapping> HeadlessSharedMemoryService::OpenMapping(const std::string& name,
                                                                         std::string* refusal) {
    (void)refusal;
    auto it = m_registry->mappings.find(name);
    if (it == m_registry->mappings.end()) return nullptr;
    return std::make_unique<FakeMapping>(it->second, nullptr, name);
}

std::unique_ptr<INamedEvent> HeadlessSharedMemoryService::OpenEvent(const std::string& name, std::string* refusal) {
    (void)refusal;
    auto it = m_registry->events.find(name);
    if (it == m_registry->events.end()) return nullptr;
    return std::make_unique<FakeEvent>(it->second, nullptr, name);
}

std::unique_ptr<ISharedMapping> HeadlessSharedMemoryService::CreateMapping(const std::string& name, size_t size) {
    ++createCalls;
    auto bytes = std::make_shared<std::vector<uint8_t>>(size);
    m_registry->mappings[name] = bytes;
    return std::make_unique<FakeMapping>(bytes, m_registry, name);
}

std::unique_ptr<INamedEvent> HeadlessSharedMemoryService::CreateEvent(const std::string& name) {
    ++createCalls;
    auto signalled = std::make_shared<int>(0);
    m_registry->events[name] = signalled;
    return std::make_unique<FakeEvent>(signalled, m_registry, name);
}

bool HeadlessSharedMemoryService::Exists(const std::string& name) const {
    return m_registry->mappings.count(name) != 0 || m_registry->events.count(name) != 0;
}

}  // namespace kestrin
