// System error numbers reach scripts as Winsock numbers.
#include "NETWORK/Platform/SocketErrorMapping.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

#include "NETWORK/WinsockErrors.h"

namespace {

using namespace kestrin;

TEST(SocketErrorMapping, ErrnoValuesBecomeTheWinsockNumbers) {
    struct Case {
        int error;
        int expected;
    };
    const Case cases[] = {
        {0, 0},
        {EAGAIN, 10035},
        {EWOULDBLOCK, 10035},
        {EINPROGRESS, 10035},
        {ECONNREFUSED, 10061},
        {ECONNRESET, 10054},
        {EPIPE, 10054},
        {ETIMEDOUT, 10060},
        {EACCES, 10013},
        {EADDRINUSE, 10048},
        {EMFILE, 10024},
        {ENFILE, 10024},
        {ECONNABORTED, 10053},
        {EINTR, 10004},
        {ENOBUFS, 10055},
        {EHOSTUNREACH, 10065},
        {ENOTCONN, 10057},
        {EDOM, wsa::kSystemCallFailure},
    };
    for (const Case& c : cases) EXPECT_EQ(WinsockErrorFromErrno(c.error), c.expected) << "errno " << c.error;
}

TEST(SocketErrorMapping, ResolverResultsBecomeHostErrors) {
    EXPECT_EQ(WinsockErrorFromResolver(0, 0), 0);
    EXPECT_EQ(WinsockErrorFromResolver(EAI_NONAME, 0), 11001);
    EXPECT_EQ(WinsockErrorFromResolver(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(WinsockErrorFromResolver(EAI_FAIL, 0), 11003);
    EXPECT_EQ(WinsockErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), 10061);
}

}  // namespace
