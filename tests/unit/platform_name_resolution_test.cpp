// Host names of proxy servers to IPv4 addresses, on the system's own resolver configuration.
#include <gtest/gtest.h>

#include "platform/name_resolution.h"

namespace {

TEST(NameResolution, AddressesStayNamesResolveUnknownNamesGiveNothing)
{
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"127.0.0.1", "127.0.0.1"},
        {"127.1", "127.1"}, // the short form inet_addr reads, left as it is
        {"localhost", "127.0.0.1"},
        {"", ""},
        {"no-such-proxy.invalid", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::ResolveIPv4(c.text), c.expected) << c.text;
        EXPECT_EQ(platform::ResolveIPv4(c.text, [] { return false; }), c.expected) << c.text;
    }
}

} // namespace
