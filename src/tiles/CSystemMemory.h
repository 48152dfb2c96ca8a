#pragma once

#include <cstdint>
#include <optional>

// What the machine can still give. Linux overcommits memory: a large allocation seldom fails, and
// when the pages are touched the kernel's OOM killer ends the process instead, taking the picture
// and its history with it. So operations that take much memory ask here before they allocate.
//
// Thread-safe: decoding asks on a worker thread.
class CSystemMemory
{
public:
    // Left for the rest of the process and the system: windows, the decoder's own buffers.
    static constexpr std::uint64_t Reserve = std::uint64_t(128) << 20;

    // Bytes the system can give without swapping (MemAvailable), or nullopt where it does not say.
    static std::optional<std::uint64_t> Available();
    // Physical memory in bytes, 0 where unknown.
    static std::uint64_t Physical();
    // Whether `bytes` more can be taken and Reserve still be left. True where nothing is known.
    static bool CanTake(std::uint64_t bytes);

    // Lets tests decide what Available() answers; nullopt asks the system again.
    static void PretendAvailable(std::optional<std::uint64_t> bytes);
};
