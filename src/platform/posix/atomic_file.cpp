#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

std::string Failure(const char* step, int error) { return std::string(step) + ": " + std::strerror(error); }

// The rename itself is only durable once the folder's entry is; a failure here loses nothing that was there.
void SyncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

std::string ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes)
{
    const std::filesystem::path temporary = std::filesystem::path(path).concat(".tmp");
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Failure("cannot create the temporary file", errno);

    std::string failure;
    size_t written = 0;
    while (failure.empty() && written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) failure = Failure("cannot write the temporary file", errno);
        else written += static_cast<size_t>(count);
    }
    if (failure.empty() && ::fsync(fd) != 0) failure = Failure("cannot flush the temporary file", errno);
    if (::close(fd) != 0 && failure.empty()) failure = Failure("cannot close the temporary file", errno);
    if (failure.empty() && ::rename(temporary.c_str(), path.c_str()) != 0) failure = Failure("cannot replace the file", errno);
    if (!failure.empty()) {
        ::unlink(temporary.c_str());
        return failure;
    }
    SyncFolder(path.parent_path());
    return {};
}

} // namespace platform
