#include "batch/CMemoryGate.h"

bool CMemoryGate::TryEnter(std::uint64_t bytes)
{
    const std::lock_guard lock(mutex);
    if (held != 0 && (held > budget || bytes > budget - held))
        return false;
    held += bytes;
    return true;
}

void CMemoryGate::Enter(std::uint64_t bytes)
{
    std::unique_lock lock(mutex);
    changed.wait(lock, [this, bytes] { return held == 0 || (held <= budget && bytes <= budget - held); });
    held += bytes;
}

void CMemoryGate::Leave(std::uint64_t bytes)
{
    {
        const std::lock_guard lock(mutex);
        held -= bytes;
    }
    changed.notify_all();
}
