#pragma once
// Named shared memory and named events, the two objects of the debug channel. Names are
// the channel's own names ("Kestrin_Debug_map"); the service adds what the system needs.
#include <cstddef>
#include <memory>
#include <string>

#include "NETWORK/Platform/INamedEvent.h"
#include "NETWORK/Platform/ISharedMapping.h"

namespace kestrin {

class ISharedMemoryService {
public:
    virtual ~ISharedMemoryService() = default;
    // Opening side: objects that another process made; null when there are none, or when
    // the one there is not safe to use: it must belong to this process's user and give
    // no access to anyone else, or any local user could read the channel or break it.
    // refusal (when given) then says why; it stays untouched when the object is missing.
    virtual std::unique_ptr<ISharedMapping> OpenMapping(const std::string& name, std::string* refusal) = 0;
    virtual std::unique_ptr<INamedEvent> OpenEvent(const std::string& name, std::string* refusal) = 0;
    // Creating side: fresh objects (stale ones of the same name are removed first); the
    // names are removed again when the returned objects are destroyed.
    virtual std::unique_ptr<ISharedMapping> CreateMapping(const std::string& name, size_t size) = 0;
    virtual std::unique_ptr<INamedEvent> CreateEvent(const std::string& name) = 0;
};

// The service the debug channel uses: the one set last, else the system's.
ISharedMemoryService* GetSharedMemoryService();
// Installs a service (not owned); null goes back to the system's.
void SetSharedMemoryService(ISharedMemoryService* service);

}  // namespace kestrin
