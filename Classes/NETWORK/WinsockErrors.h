#pragma once
// The Winsock error numbers the network code records and scripts may see. The socket
// platform service reports its failures in these numbers on every system.

namespace kestrin {
namespace wsa {

constexpr int kInterrupted = 10004;           // WSAEINTR
constexpr int kBadHandle = 10009;             // WSAEBADF
constexpr int kAccessDenied = 10013;          // WSAEACCES
constexpr int kFault = 10014;                 // WSAEFAULT
constexpr int kInvalid = 10022;               // WSAEINVAL
constexpr int kTooManySockets = 10024;        // WSAEMFILE
constexpr int kWouldBlock = 10035;            // WSAEWOULDBLOCK
constexpr int kAlready = 10037;               // WSAEALREADY
constexpr int kNotSocket = 10038;             // WSAENOTSOCK
constexpr int kAddressRequired = 10039;       // WSAEDESTADDRREQ
constexpr int kMessageSize = 10040;           // WSAEMSGSIZE
constexpr int kProtocolType = 10041;          // WSAEPROTOTYPE
constexpr int kNoProtocolOption = 10042;      // WSAENOPROTOOPT
constexpr int kProtocolNotSupported = 10043;  // WSAEPROTONOSUPPORT
constexpr int kNotSupported = 10045;          // WSAEOPNOTSUPP
constexpr int kFamilyNotSupported = 10047;    // WSAEAFNOSUPPORT
constexpr int kAddressInUse = 10048;          // WSAEADDRINUSE
constexpr int kAddressNotAvailable = 10049;   // WSAEADDRNOTAVAIL
constexpr int kNetworkDown = 10050;           // WSAENETDOWN
constexpr int kNetworkUnreachable = 10051;    // WSAENETUNREACH
constexpr int kNetworkReset = 10052;          // WSAENETRESET
constexpr int kConnectionAborted = 10053;     // WSAECONNABORTED
constexpr int kConnectionReset = 10054;       // WSAECONNRESET
constexpr int kNoBuffers = 10055;             // WSAENOBUFS
constexpr int kConnected = 10056;             // WSAEISCONN
constexpr int kNotConnected = 10057;          // WSAENOTCONN
constexpr int kShutDown = 10058;              // WSAESHUTDOWN
constexpr int kTimedOut = 10060;              // WSAETIMEDOUT
constexpr int kConnectionRefused = 10061;     // WSAECONNREFUSED
constexpr int kHostDown = 10064;              // WSAEHOSTDOWN
constexpr int kHostUnreachable = 10065;       // WSAEHOSTUNREACH
constexpr int kSystemCallFailure = 10107;     // WSASYSCALLFAILURE: no closer number exists
constexpr int kHostNotFound = 11001;          // WSAHOST_NOT_FOUND
constexpr int kTryAgain = 11002;              // WSATRY_AGAIN
constexpr int kNoRecovery = 11003;            // WSANO_RECOVERY
constexpr int kNoData = 11004;                // WSANO_DATA

}  // namespace wsa
}  // namespace kestrin
