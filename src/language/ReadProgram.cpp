#include "language/ReadProgram.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarko {

namespace {

TFileRead FromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return TFileRead::Missing;
    case EACCES:
    case EPERM:
        return TFileRead::NoPermission;
    case EISDIR:
        return TFileRead::Directory;
    default:
        return TFileRead::Failed;
    }
}

TFileRead Kind(const struct stat& st)
{
    if (S_ISDIR(st.st_mode))
        return TFileRead::Directory;
    if (!S_ISREG(st.st_mode))
        return TFileRead::NotRegular;
    if (st.st_size > MaxProgramFileSize)
        return TFileRead::TooLarge;
    return TFileRead::Ok;
}

class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

} // namespace

TFileRead ReadProgramBytes(const std::string& path, std::string* bytes)
{
    // Look before opening: opening a FIFO for reading waits for a writer.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return FromErrno(errno);
    if (const TFileRead kind = Kind(st); kind != TFileRead::Ok)
        return kind;
    // The name may name something else by now; O_NONBLOCK keeps even a
    // FIFO put there meanwhile from blocking, and fstat checks again.
    const FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd() < 0)
        return FromErrno(errno);
    if (::fstat(file.fd(), &st) != 0)
        return FromErrno(errno);
    if (const TFileRead kind = Kind(st); kind != TFileRead::Ok)
        return kind;

    // The file may grow while it is read: read at most one byte beyond the
    // limit, which tells a file that is too large.
    std::string data;
    data.reserve(size_t(st.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(file.fd(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FromErrno(errno);
        }
        if (n == 0)
            break;
        data.append(chunk, size_t(n));
        if (data.size() > size_t(MaxProgramFileSize))
            return TFileRead::TooLarge;
    }
    *bytes = std::move(data);
    return TFileRead::Ok;
}

std::string ReadFailureMessage(TFileRead result, const std::string& name)
{
    return "Datei " + name + " kann nicht ge\xC3\xB6" "ffnet werden" + ReadFailureReason(result);
}

std::string ReadFailureReason(TFileRead result)
{
    switch (result) {
    case TFileRead::NotRegular:
        return ": Sie ist keine gew\xC3\xB6hnliche Datei.";
    case TFileRead::TooLarge:
        return ": Sie ist gr\xC3\xB6\xC3\x9F" "er als " + std::to_string(MaxProgramFileSize >> 20)
            + " MB. So gro\xC3\x9F" "e Programme kann Tarko nicht laden.";
    case TFileRead::NoPermission:
        return ": Keine Berechtigung zum Lesen.";
    default:
        return {};
    }
}

} // namespace tarko
