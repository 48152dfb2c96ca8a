#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// Lets a file's work start only while the memory it needs is there, so that as many files run at
// once as their memory allows (and the cores, which the threads stand for): a few large photos
// take turns where many small ones run side by side. Work that needs more than all of it still
// runs, alone, and meets the document's own refusals.
class CMemoryGate
{
public:
    explicit CMemoryGate(std::uint64_t bytes) : budget(bytes) {}

    // Holds `bytes` when they fit beside what others hold, or when nothing else is held.
    bool TryEnter(std::uint64_t bytes);
    // Waits until TryEnter succeeds.
    void Enter(std::uint64_t bytes);
    // Gives back what Enter held.
    void Leave(std::uint64_t bytes);

private:
    std::mutex mutex;
    std::condition_variable changed;
    const std::uint64_t budget;
    std::uint64_t held = 0;
};
