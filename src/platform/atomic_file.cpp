#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/eintr.h"
#include "platform/unique_fd.h"

namespace morvik::platform {

namespace {

std::string Describe(const std::string& what, const std::string& path, int error) {
    return what + " \"" + path + "\": " + std::strerror(error);
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = RetryOnEintr([&] { return ::write(fd, bytes.data() + done, bytes.size() - done); });
        if (written < 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Makes the rename itself durable; the new file is in place either way.
void SyncDirectoryOf(const std::string& path) {
    std::filesystem::path directory = std::filesystem::path(path).parent_path();
    if (directory.empty()) directory = std::filesystem::current_path();
    const UniqueFd dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) ::fsync(dir.Get());
}

// As many links in a row as the kernel follows in one path before ELOOP.
constexpr int kMaxLinksFollowed = 40;

// The file a write replaces: path itself, or where its symbolic links lead.
// Renaming over the link would turn it into a regular file and leave the file
// it points at unchanged. Returns 0 or the error number.
int FollowLinks(std::string& path) {
    for (int followed = 0; followed < kMaxLinksFollowed; ++followed) {
        struct stat info {};
        // Nothing there (or nothing to look at): the write itself reports what is wrong.
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) return error.value();
        // A relative target is taken from the link's folder; "/" keeps an absolute one whole.
        path = (std::filesystem::path(path).parent_path() / target).string();
    }
    return ELOOP;
}

}  // namespace

FileContent ReadWholeFile(const std::string& path) {
    FileContent content;
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid()) {
        if (errno != ENOENT) content.error = Describe("Cannot read", path, errno);
        return content;
    }
    content.exists = true;
    char buffer[8192];
    for (;;) {
        const ssize_t got = RetryOnEintr([&] { return ::read(file.Get(), buffer, sizeof buffer); });
        if (got == 0) break;
        if (got < 0) {
            content.error = Describe("Cannot read", path, errno);
            content.bytes.clear();
            return content;
        }
        content.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return content;
}

std::string TemporaryPathFor(const std::string& path) { return path + ".tmp~"; }

std::optional<std::string> WriteFileAtomically(const std::string& path, const std::string& bytes) {
    std::string target = path;
    if (const int error = FollowLinks(target); error != 0) return Describe("Cannot save to", path, error);
    const std::string temporary = TemporaryPathFor(target);
    // Always a new file of our own: what a crash left under that name goes,
    // and a link placed there is neither followed nor written through.
    ::unlink(temporary.c_str());
    UniqueFd file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!file.Valid()) return Describe("Cannot save to", path, errno) + " (temporary file " + temporary + ")";

    auto fail = [&](int error) {
        ::unlink(temporary.c_str());
        return Describe("Cannot save to", path, error);
    };
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(file.Get(), old.st_mode & 07777) != 0) return fail(errno);
    if (!WriteAll(file.Get(), bytes)) return fail(errno);
    if (::fsync(file.Get()) != 0) return fail(errno);
    if (file.Close() != 0) return fail(errno);
    if (::rename(temporary.c_str(), target.c_str()) != 0) return fail(errno);
    SyncDirectoryOf(target);
    return std::nullopt;
}

}  // namespace morvik::platform
