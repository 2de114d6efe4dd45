#pragma once
// Makes the actor of each connection the debug server accepts; the base makes echoing actors.
#include <memory>
#include <string>

#include "NETWORK/CActor.h"

namespace kestrin {

class CActorFactory {
public:
    virtual ~CActorFactory() = default;
    virtual std::unique_ptr<CActor> Create(int socket, const std::string& peerAddress);
};

}  // namespace kestrin
