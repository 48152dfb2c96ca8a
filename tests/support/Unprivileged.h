#pragma once

#include <functional>

#include <sys/wait.h>
#include <unistd.h>

// Runs `work` with the rights of an ordinary user, whose folder modes bind (root ignores them): in
// a forked child as "nobody" when this process is root, directly otherwise. 1 when `work` answered
// true, 0 when false, -1 when no unprivileged user could be had. The child must not wait on worker
// threads, which do not survive fork(): keep `work` small and single-threaded.
inline int RunUnprivileged(const std::function<bool()>& work)
{
    if (::geteuid() != 0)
        return work() ? 1 : 0;
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(!dropped ? 2 : work() ? 1 : 0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 2)
        return -1;
    return WEXITSTATUS(status);
}
