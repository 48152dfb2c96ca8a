#include "tiles/CScratchFile.h"

#include "support/Pixels.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<std::uint8_t> Bytes(std::size_t size, unsigned seed)
{
    const std::vector<std::uint32_t> words = RandomPixels(size / 4 + 1, seed);
    std::vector<std::uint8_t> bytes(size);
    std::memcpy(bytes.data(), words.data(), size);
    return bytes;
}

std::vector<std::uint8_t> ReadBack(const CScratchFile& file, const CScratchFile::Record& record)
{
    std::vector<std::uint8_t> bytes(record.size);
    EXPECT_TRUE(file.Read(record, bytes.data()));
    return bytes;
}

} // namespace

// Records written from two threads at once read back as written, also after others were freed.
TEST(ScratchFile, ReadsBackWhatTwoThreadsWrote)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto file = CScratchFile::Create({dir.path().toStdString()});
    ASSERT_TRUE(file);
    constexpr int PerThread = 200;
    std::vector<std::vector<std::uint8_t>> data[2];
    std::vector<CScratchFile::Record> records[2];
    const auto write = [&](int thread) {
        for (int i = 0; i < PerThread; ++i) {
            data[thread].push_back(Bytes(1 + (i * 977) % 70000, unsigned(thread * 1000 + i)));
            const auto record = file->Write(data[thread].back().data(), data[thread].back().size());
            ASSERT_TRUE(record);
            records[thread].push_back(*record);
        }
    };
    std::thread other(write, 1);
    write(0);
    other.join();
    std::uint64_t total = 0;
    for (int thread = 0; thread < 2; ++thread) {
        for (int i = 0; i < PerThread; i += 2) {
            file->Free(records[thread][std::size_t(i)]);
            total += records[thread][std::size_t(i) + 1].size;
        }
    }
    EXPECT_EQ(file->Bytes(), total);
    for (int thread = 0; thread < 2; ++thread) {
        for (int i = 1; i < PerThread; i += 2)
            ASSERT_EQ(ReadBack(*file, records[thread][std::size_t(i)]), data[thread][std::size_t(i)]);
    }
}

// No name in any folder, no one else's permissions, and no way to give it a name afterwards.
TEST(ScratchFile, NoOtherUserCanOpenIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto file = CScratchFile::Create({dir.path().toStdString()});
    ASSERT_TRUE(file);
    struct stat facts = {};
    ASSERT_EQ(::fstat(file->Descriptor(), &facts), 0);
    EXPECT_EQ(facts.st_nlink, 0u);
    EXPECT_EQ(facts.st_mode & 0077, 0u);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    const std::string self = "/proc/self/fd/" + std::to_string(file->Descriptor());
    const std::string named = dir.filePath(QStringLiteral("named")).toStdString();
    EXPECT_NE(::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW), 0);
}

TEST(ScratchFile, TakesTheFirstFolderThatWorks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_TRUE(CScratchFile::Create({"/nonexistent/quorvel", dir.path().toStdString()}));
    EXPECT_FALSE(CScratchFile::Create({"/nonexistent/quorvel", "/proc"}));
    EXPECT_FALSE(CScratchFile::DefaultFolders().empty());
}

// A scratch file on a small tmpfs mounted for the test, where mounting is allowed.
class ScratchFileOnSmallDisk : public ::testing::Test
{
protected:
    ~ScratchFileOnSmallDisk() override
    {
        if (mounted)
            ::umount2(place.c_str(), MNT_DETACH); // the file may still be open
    }

    std::unique_ptr<CScratchFile> Mount(const char* size)
    {
        mounted = dir.isValid() && ::mount("tmpfs", place.c_str(), "tmpfs", 0, size) == 0;
        return mounted ? CScratchFile::Create({place}) : nullptr;
    }

    QTemporaryDir dir;
    const std::string place = dir.path().toStdString();
    bool mounted = false;
};

// On a full file system a write fails and says so; what was written stays readable, and the room
// of what is freed can be written again.
TEST_F(ScratchFileOnSmallDisk, FullFileSystemRefusesWritesAndRecoversWhenFreed)
{
    auto file = Mount("size=1m");
    if (!mounted)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    ASSERT_TRUE(file);
    const std::vector<std::uint8_t> chunk = Bytes(200 * 1024, 9);
    std::vector<CScratchFile::Record> records;
    for (int i = 0; i < 10; ++i) {
        const auto record = file->Write(chunk.data(), chunk.size());
        if (!record)
            break;
        records.push_back(*record);
    }
    ASSERT_GE(records.size(), 2u);
    ASSERT_LT(records.size(), 10u) << "the file system never filled";
    for (std::size_t i = 1; i < records.size(); ++i)
        file->Free(records[i]);
    EXPECT_TRUE(file->Write(chunk.data(), chunk.size()));
    EXPECT_EQ(ReadBack(*file, records.front()), chunk);
}

// Records of odd sizes written and freed one after another give all their room back: the disk
// never fills with the blocks they shared.
TEST_F(ScratchFileOnSmallDisk, FreedRecordsGiveBackAllTheirRoom)
{
    auto file = Mount("size=256k");
    if (!mounted)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    ASSERT_TRUE(file);
    const std::vector<std::uint8_t> chunk = Bytes(3 * 4096 + 100, 3);
    for (int i = 0; i < 400; ++i) {
        const auto record = file->Write(chunk.data(), chunk.size());
        ASSERT_TRUE(record) << "full after " << i << " records";
        file->Free(*record);
    }
    EXPECT_EQ(file->Bytes(), 0u);
}
