#pragma once
// Lets background probes yield to the game.
namespace platform {

// The calling thread runs below normal priority (THREAD_PRIORITY_BELOW_NORMAL; nice +1 on Linux).
void LowerCurrentThreadPriority();

} // namespace platform
