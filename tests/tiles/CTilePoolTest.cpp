// The pool hands out tiles that are its own, takes them back for reuse, and gives their memory back
// to the system when trimmed.
#include "tiles/CTilePool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

std::size_t ResidentBytes()
{
    std::size_t pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * std::size_t(::sysconf(_SC_PAGESIZE));
}

} // namespace

TEST(TilePool, TrimmedTilesGiveTheirMemoryBackAndServeAgain)
{
    CTilePool& pool = CTilePool::Shared();
    pool.Trim();
    constexpr std::size_t Count = 1024; // 64 MiB
    std::vector<CTilePool::TilePtr> tiles;
    std::set<const std::uint32_t*> distinct;
    for (std::size_t i = 0; i < Count; ++i) {
        tiles.push_back(pool.Acquire());
        ASSERT_TRUE(tiles.back());
        std::memset(tiles.back().get(), int(i), CTilePool::TileBytes);
        distinct.insert(tiles.back().get());
    }
    EXPECT_EQ(distinct.size(), Count);
    const std::size_t filled = ResidentBytes();
    const std::size_t live = pool.LiveBytes();
    tiles.clear();
    EXPECT_EQ(pool.LiveBytes(), live - Count * CTilePool::TileBytes);
    EXPECT_GE(pool.FreeBytes(), Count * CTilePool::TileBytes) << "kept for the next step";
    pool.Trim();
    EXPECT_EQ(pool.FreeBytes(), 0u);
    EXPECT_LT(ResidentBytes() + Count * CTilePool::TileBytes * 9 / 10, filled) << "the system got the memory back";

    const CTilePool::TilePtr again = pool.Acquire();
    ASSERT_TRUE(again);
    std::memset(again.get(), 7, CTilePool::TileBytes);
    EXPECT_EQ(again[CTilePool::PixelsPerTile - 1], 0x07070707u);
}

// Memory of huge pages in the process, from the kernel's own count.
std::size_t HugePageBytes()
{
    std::ifstream rollup("/proc/self/smaps_rollup");
    std::string field;
    std::size_t kib = 0;
    while (rollup >> field) {
        if (field == "AnonHugePages:" && rollup >> kib)
            return kib * 1024;
    }
    return 0;
}

// A picture opened after the last was closed faults in huge pages as the first did, rather than
// the small pages of slabs given back a tile at a time.
TEST(TilePool, MemoryTrimmedWholeFaultsInHugePagesAgain)
{
    CTilePool& pool = CTilePool::Shared();
    const auto fill = [&pool] {
        pool.Trim();
        const std::size_t before = HugePageBytes();
        std::vector<CTilePool::TilePtr> tiles(2048); // 128 MiB
        for (auto& tile : tiles) {
            tile = pool.Acquire();
            std::memset(tile.get(), 1, CTilePool::TileBytes);
        }
        return HugePageBytes() - std::min(before, HugePageBytes());
    };
    const std::size_t first = fill();
    if (first < (std::size_t(64) << 20))
        GTEST_SKIP() << "the system gives this process few huge pages (" << (first >> 20) << " MiB)";
    EXPECT_GE(fill(), first / 2);
}
