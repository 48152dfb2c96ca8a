#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
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
    // Bytes of the records written and not freed, each rounded up to whole blocks.
    std::uint64_t Bytes() const { return held.load(); }
    // The open file, for checks of who can reach it.
    int Descriptor() const { return fd; }

    static std::vector<std::string> DefaultFolders();

private:
    // Records start on whole blocks, so that freeing one gives back all of its room: a block
    // shared with a neighbour could only be punched once both were free.
    static constexpr std::uint64_t Block = 4096;
    static std::uint64_t Room(std::uint64_t size) { return (size + Block - 1) & ~(Block - 1); }

    explicit CScratchFile(int descriptor) : fd(descriptor) {}
    void Punch(const Record& record) const;

    const int fd;
    std::atomic<std::uint64_t> end{0};
    std::atomic<std::uint64_t> held{0};
};
