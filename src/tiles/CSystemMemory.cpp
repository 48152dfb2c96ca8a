#include "tiles/CSystemMemory.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <limits>

#include <unistd.h>

namespace {

constexpr std::uint64_t NotPretending = std::numeric_limits<std::uint64_t>::max();
std::atomic<std::uint64_t> pretended{NotPretending};

// MemAvailable from /proc/meminfo, in bytes; the kernel's own estimate of what can be taken
// without swapping, page cache and reclaimable slabs included.
std::optional<std::uint64_t> ReadMemAvailable()
{
    std::FILE* info = std::fopen("/proc/meminfo", "re");
    if (!info)
        return std::nullopt;
    char line[256];
    std::optional<std::uint64_t> found;
    while (!found && std::fgets(line, sizeof line, info)) {
        unsigned long long kib = 0;
        if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1)
            found = std::uint64_t(kib) * 1024;
    }
    std::fclose(info);
    return found;
}

} // namespace

std::optional<std::uint64_t> CSystemMemory::Available()
{
    const std::uint64_t told = pretended.load();
    if (told != NotPretending)
        return told;
    return ReadMemAvailable();
}

std::uint64_t CSystemMemory::Physical()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? std::uint64_t(pages) * std::uint64_t(pageSize) : 0;
}

bool CSystemMemory::CanTake(std::uint64_t bytes)
{
    const std::optional<std::uint64_t> available = Available();
    return !available || (*available >= Reserve && bytes <= *available - Reserve);
}

void CSystemMemory::PretendAvailable(std::optional<std::uint64_t> bytes)
{
    pretended.store(bytes ? std::min(*bytes, NotPretending - 1) : NotPretending);
}
