#pragma once
// Whether a process id still names a live process, seen from outside the code under test.
#include <chrono>
#include <cstdint>

namespace kestrel::testing {

// true when no live process has this id (gone, or a zombie waiting to be reaped).
bool ProcessGone(std::uint32_t pid);
// Polls ProcessGone until it holds or the time-out passes.
bool WaitProcessGone(std::uint32_t pid, std::chrono::milliseconds timeout = std::chrono::seconds(5));

} // namespace kestrel::testing
