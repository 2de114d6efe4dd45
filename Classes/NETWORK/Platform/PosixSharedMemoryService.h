#pragma once
// POSIX shared memory (shm_open, read and written with pread and pwrite) and named
// semaphores as auto-reset events (PosixNamedEvent). A name gets the leading "/" POSIX wants, so outside
// tools find "/Kestrin_Debug_map" and so on; the semaphores are "/dev/shm/sem.<name>".
#include "NETWORK/Platform/ISharedMemoryService.h"

namespace kestrin {

class PosixSharedMemoryService : public ISharedMemoryService {
public:
    std::unique_ptr<ISharedMapping> OpenMapping(const std::string& name, std::string* refusal) override;
    std::unique_ptr<INamedEvent> OpenEvent(const std::string& name, std::string* refusal) override;
    std::unique_ptr<ISharedMapping> CreateMapping(const std::string& name, size_t size) override;
    std::unique_ptr<INamedEvent> CreateEvent(const std::string& name) override;
};

}  // namespace kestrin
