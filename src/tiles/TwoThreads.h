#pragma once

#include <system_error>
#include <thread>

// Runs `work` on this thread and, when `worthIt` and the machine has a second core, at the same
// time on a helper thread; returns when both are done. `work` takes its share of a common queue,
// so it is right whether one thread or two run it. Without a thread to be had, this one does all.
template <typename Work> void RunOnTwoThreads(bool worthIt, const Work& work)
{
    std::thread helper;
    if (worthIt && std::thread::hardware_concurrency() > 1) {
        try {
            helper = std::thread([&work] { work(); });
        } catch (const std::system_error&) {
        }
    }
    work();
    if (helper.joinable())
        helper.join();
}
