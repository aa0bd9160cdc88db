// Console variable values typed by a player: limits hold and reading a number never overflows.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "fake_host.h"

namespace {

TEST(CvarValues, LimitsHoldForEveryNumberText)
{
    kestrel::testing::FakeHost host;
    CVarWrapper port = host.cvarManager->registerCvar("port", "7777", "", true, true, 1024, true, 65535);
    for (const auto& [typed, kept] : std::vector<std::pair<std::string, int>>{
             {"80", 1024}, {"70000", 65535}, {"inf", 65535}, {"-inf", 1024}, {"nan", 1024}, {"8000", 8000}}) {
        port.setValue(typed);
        EXPECT_EQ(port.getIntValue(), kept) << typed;
    }
}

TEST(CvarValues, ReadingOutOfRangeTextStaysInTheTypesRange)
{
    kestrel::testing::FakeHost host;
    CVarWrapper free = host.cvarManager->registerCvar("free", "0");
    free.setValue("1e20");
    EXPECT_EQ(free.getIntValue(), INT_MAX);
    free.setValue("-1e300");
    EXPECT_EQ(free.getIntValue(), INT_MIN);
    EXPECT_TRUE(std::isfinite(free.getFloatValue()));
    free.setValue("nan");
    EXPECT_EQ(free.getIntValue(), 0);
    EXPECT_FALSE(free.getBoolValue());
    free.setValue("12 apples");
    EXPECT_EQ(free.getIntValue(), 12);
}

} // namespace
