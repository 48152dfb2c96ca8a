#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// A file for the pixels of the history's older steps, out of memory. It has no name in any folder:
// no other user (nor this one) can open it, and it is gone when the process ends, however it ends.
// Made with O_TMPFILE where the file system has it, else created and unlinked at once.
//
// Thread-safe: records are written, read and freed from several threads at once.
class CScratchFile
{
public:
    // Where a record's bytes lie.
    struct Record
    {
        std::uint64_t offset = 0;
        std::uint32_t size = 0;
    };

    // A scratch file in the first of `folders` that takes one, or null. With none given:
    // $XDG_CACHE_HOME (else ~/.cache), then /var/tmp, then /tmp.
    static std::unique_ptr<CScratchFile> Create(const std::vector<std::string>& folders = {});
    ~CScratchFile();
    CScratchFile(const CScratchFile&) = delete;
    CScratchFile& operator=(const CScratchFile&) = delete;

    // Stores `size` bytes; nullopt when the file system is full or the write fails otherwise.
    std::optional<Record> Write(const std::uint8_t* data, std::size_t size);
    // Reads a record back into `out`, which has room for its size.
    bool Read(const Record& record, std::uint8_t* out) const;
    // Gives the record's room back to the file system.
    void Free(const Record& record);
    // Bytes of the records written and not freed.
    std::uint64_t Bytes() const { return held.load(); }
    // The open file, for checks of who can reach it.
    int Descriptor() const { return fd; }

    static std::vector<std::string> DefaultFolders();

private:
    // Records lie end to end, and the file gives room back an extent at a time, once no record in
    // it is left: punching a record alone could not give back the blocks it shares with its
    // neighbours, and small records would fill the disk with them.
    static constexpr std::uint64_t Extent = 256 * 1024;

    explicit CScratchFile(int descriptor) : fd(descriptor) {}
    // Room for `size` bytes, counted in the extents it meets.
    Record Reserve(std::size_t size);
    // Uncounts the record, punching the extents it leaves empty.
    void Release(const Record& record);

    const int fd;
    std::mutex mutex;
    std::uint64_t end = 0;
    std::unordered_map<std::uint64_t, std::uint32_t> recordsIn; // extent -> records meeting it
    std::atomic<std::uint64_t> held{0};
};
