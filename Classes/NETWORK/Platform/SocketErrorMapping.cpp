#include "NETWORK/Platform/SocketErrorMapping.h"

#include <netdb.h>

#include <cerrno>

#include "NETWORK/WinsockErrors.h"

namespace kestrin {

int WinsockErrorFromErrno(int error) {
    switch (error) {
        case 0: return 0;
        case EINTR: return wsa::kInterrupted;
        case EBADF: return wsa::kBadHandle;
        case EACCES:
        case EPERM: return wsa::kAccessDenied;
        case EFAULT: return wsa::kFault;
        case EINVAL: return wsa::kInvalid;
        case EMFILE:
        case ENFILE: return wsa::kTooManySockets;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
        case EINPROGRESS: return wsa::kWouldBlock;
        case EALREADY: return wsa::kAlready;
        case ENOTSOCK: return wsa::kNotSocket;
        case EDESTADDRREQ: return wsa::kAddressRequired;
        case EMSGSIZE: return wsa::kMessageSize;
        case EPROTOTYPE: return wsa::kProtocolType;
        case ENOPROTOOPT: return wsa::kNoProtocolOption;
        case EPROTONOSUPPORT: return wsa::kProtocolNotSupported;
        case EOPNOTSUPP: return wsa::kNotSupported;
        case EAFNOSUPPORT: return wsa::kFamilyNotSupported;
        case EADDRINUSE: return wsa::kAddressInUse;
        case EADDRNOTAVAIL: return wsa::kAddressNotAvailable;
        case ENETDOWN: return wsa::kNetworkDown;
        case ENETUNREACH: return wsa::kNetworkUnreachable;
        case ENETRESET: return wsa::kNetworkReset;
        case ECONNABORTED:
        case EPROTO: return wsa::kConnectionAborted;
        case ECONNRESET:
        case EPIPE: return wsa::kConnectionReset;
        case ENOBUFS:
        case ENOMEM: return wsa::kNoBuffers;
        case EISCONN: return wsa::kConnected;
        case ENOTCONN: return wsa::kNotConnected;
        case ESHUTDOWN: return wsa::kShutDown;
        case ETIMEDOUT: return wsa::kTimedOut;
        case ECONNREFUSED: return wsa::kConnectionRefused;
        case EHOSTDOWN: return wsa::kHostDown;
        case EHOSTUNREACH: return wsa::kHostUnreachable;
        default: return wsa::kSystemCallFailure;
    }
}

int WinsockErrorFromResolver(int result, int systemError) {
    switch (result) {
        case 0: return 0;
        case EAI_NONAME:
#ifdef EAI_NODATA
        case EAI_NODATA:
#endif
            return wsa::kHostNotFound;
        case EAI_AGAIN: return wsa::kTryAgain;
        case EAI_FAMILY: return wsa::kFamilyNotSupported;
        case EAI_MEMORY: return wsa::kNoBuffers;
        case EAI_SYSTEM: return WinsockErrorFromErrno(systemError);
        default: return wsa::kNoRecovery;
    }
}

}  // namespace kestrin
