#pragma once
// System error numbers as the Winsock numbers of NETWORK/WinsockErrors.h.

namespace kestrin {

// An errno value from a socket call.
int WinsockErrorFromErrno(int error);
// A getaddrinfo result (EAI_*); systemError is errno, read by EAI_SYSTEM.
int WinsockErrorFromResolver(int result, int systemError);

}  // namespace kestrin
