#pragma once

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

// Every core of the machine, at least one: how many threads work that scales with the cores uses.
inline unsigned AllCores()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

// Runs `work` on this thread and at the same time on up to `threads` - 1 helper threads; returns
// when all are done. `work` takes its share of a common queue, so it is right however many threads
// run it. Threads that cannot be had leave their share to those that run.
template <typename Work> void RunOnThreads(unsigned threads, const Work& work)
{
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back([&work] { work(); });
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
}

// Runs `work` on this thread and, when `worthIt` and the machine has a second core, on one helper
// thread beside it: for work that must leave the other cores to the user interface.
template <typename Work> void RunOnTwoThreads(bool worthIt, const Work& work)
{
    RunOnThreads(worthIt ? std::min(2u, AllCores()) : 1u, work);
}
