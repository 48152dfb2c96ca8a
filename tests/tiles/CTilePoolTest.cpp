// The pool hands out tiles that are its own, takes them back for reuse, and gives their memory back
// to the system when trimmed.
#include "tiles/CTilePool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
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
    EXPECT_EQ(distinct.count(again.get()), 1u) << "a trimmed tile serves again";
    std::memset(again.get(), 7, CTilePool::TileBytes);
    EXPECT_EQ(again[CTilePool::PixelsPerTile - 1], 0x07070707u);
}
