#include "NETWORK/CActorFactory.h"

namespace kestrin {

std::unique_ptr<CActor> CActorFactory::Create(int socket, const std::string& peerAddress) {
    return std::make_unique<CActor>(socket, peerAddress);
}

}  // namespace kestrin
