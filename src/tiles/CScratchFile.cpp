#include "tiles/CScratchFile.h"

#include <cerrno>
#include <cstdlib>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Our own folder below a shared one such as ~/.cache, private to the user.
std::string Own(const std::string& folder)
{
    const std::string own = folder + "/quorvel";
    ::mkdir(own.c_str(), 0700);
    return own;
}

// O_EXCL: the file can never be given a name (linkat refuses it).
int OpenUnnamed(const std::string& folder)
{
#if defined(O_TMPFILE)
    const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (unnamed >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return unnamed;
#endif
    // A file system without O_TMPFILE: a fresh name, unlinked before anything is written.
    std::string name = folder + "/scratch-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.c_str());
    return fd;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t offset)
{
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size, off_t(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= std::size_t(written);
        offset += std::uint64_t(written);
    }
    return true;
}

} // namespace

std::vector<std::string> CScratchFile::DefaultFolders()
{
    std::vector<std::string> folders;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    if (cache && cache[0] == '/')
        folders.push_back(Own(cache));
    else if (home && home[0] == '/')
        folders.push_back(Own(std::string(home) + "/.cache"));
    folders.emplace_back("/var/tmp");
    folders.emplace_back("/tmp");
    return folders;
}

std::unique_ptr<CScratchFile> CScratchFile::Create(const std::vector<std::string>& folders)
{
    for (const std::string& folder : folders.empty() ? DefaultFolders() : folders) {
        const int fd = OpenUnnamed(folder);
        if (fd >= 0)
            return std::unique_ptr<CScratchFile>(new CScratchFile(fd));
    }
    return nullptr;
}

CScratchFile::~CScratchFile()
{
    ::close(fd);
}

std::optional<CScratchFile::Record> CScratchFile::Write(const std::uint8_t* data, std::size_t size)
{
    if (size > UINT32_MAX)
        return std::nullopt;
    if (size == 0)
        return Record{};
    Record record;
    try {
        record = Reserve(size);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (!WriteAll(fd, data, size, record.offset)) {
        Release(record); // with whatever part reached the disk
        return std::nullopt;
    }
    held += size;
    return record;
}

bool CScratchFile::Read(const Record& record, std::uint8_t* out) const
{
    std::size_t done = 0;
    while (done < record.size) {
        const ssize_t got = ::pread(fd, out + done, record.size - done, off_t(record.offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += std::size_t(got);
    }
    return true;
}

void CScratchFile::Free(const Record& record)
{
    Release(record);
    held -= record.size;
}

CScratchFile::Record CScratchFile::Reserve(std::size_t size)
{
    std::lock_guard lock(mutex);
    const Record record{end, std::uint32_t(size)};
    for (std::uint64_t extent = record.offset / Extent; extent <= (record.offset + size - 1) / Extent; ++extent)
        ++recordsIn[extent];
    end += size;
    return record;
}

void CScratchFile::Release(const Record& record)
{
    if (record.size == 0)
        return;
    std::lock_guard lock(mutex);
    const std::uint64_t last = (record.offset + record.size - 1) / Extent;
    for (std::uint64_t extent = record.offset / Extent; extent <= last; ++extent) {
        const auto counted = recordsIn.find(extent);
        if (--counted->second != 0)
            continue;
        recordsIn.erase(counted);
        // Where the file system cannot punch, the room stays taken until the process ends. Under
        // the lock: a record reserved in this extent afterwards is written after the punch.
        ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, off_t(extent * Extent), off_t(Extent));
    }
}
