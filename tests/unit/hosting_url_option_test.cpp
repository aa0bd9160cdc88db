// Passwords in travel commands: what a log line shows of them, and what a command leaves
// running for the reverse proxy panel's warning.
#include <gtest/gtest.h>

#include "hosting/url_option.h"

namespace {

using hosting::HostedMatch;

TEST(TravelCommandPassword, LogLinesHideItAndTheHostedMatchFollowsIt)
{
    struct Case {
        std::string command;
        std::string logged;
        HostedMatch hosted;
    };
    const Case cases[] = {
        {"open Park_P?Playtest?Lan?Listen", "open Park_P?Playtest?Lan?Listen", HostedMatch::Open},
        {"open Park_P?Lan?Listen?Password=door", "open Park_P?Lan?Listen?Password=***", HostedMatch::Locked},
        {"open Park_P?Lan?listen?password=door?Game=x", "open Park_P?Lan?listen?password=***?Game=x", HostedMatch::Locked},
        {"open Park_P?Lan?Listen?Password=", "open Park_P?Lan?Listen?Password=", HostedMatch::Open},
        {"open Park_P?Password=a?Listen?Password=b", "open Park_P?Password=***?Listen?Password=***", HostedMatch::Locked},
        {"open 198.51.100.1:47900?Lan?Password=door", "open 198.51.100.1:47900?Lan?Password=***", HostedMatch::None},
        {"start 127.0.0.1:7777/?Lan", "start 127.0.0.1:7777/?Lan", HostedMatch::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hosting::WithoutPassword(c.command), c.logged) << c.command;
        EXPECT_EQ(hosting::HostedMatchOf(c.command), c.hosted) << c.command;
    }
}

} // namespace
