#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

void LowerCurrentThreadPriority()
{
    // Linux gives each thread its own nice value.
    pid_t thread = static_cast<pid_t>(syscall(SYS_gettid));
    int current = getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
    setpriority(PRIO_PROCESS, static_cast<id_t>(thread), current + 1);
}

} // namespace platform
