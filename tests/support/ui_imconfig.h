#pragma once
// ImGui configuration of the test copy: a failed IM_ASSERT throws, so a test that breaks ImGui's rules fails
// with the assertion's text instead of ending the whole test program.
namespace kestrel::testing {
[[noreturn]] void FailImGuiAssertion(const char* expression, const char* file, int line);
}
#define IM_ASSERT(_EXPR) ((_EXPR) ? (void)0 : ::kestrel::testing::FailImGuiAssertion(#_EXPR, __FILE__, __LINE__))
