// A copy kept of a file that could not be read whole, before anything is written over it.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "runtime/files/file_safe.h"
#include "runtime/files/file_table.h"

namespace {

// Reads up to `n` bytes at `at`; the count, 0 at the end, -1 with errno on failure.
ssize_t read_at(int fd, char* buf, size_t n, off_t at) {
    for (;;) {
        ssize_t got = pread(fd, buf, n, at);
        if (got >= 0 || errno != EINTR) return got;
    }
}

bool write_all(int fd, const char* buf, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, buf, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        buf += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// The regular file at `path` holds exactly the bytes of `fd`.
bool same_bytes(int fd, const std::string& path) {
    struct stat a, b;
    if (fstat(fd, &a) != 0 || lstat(path.c_str(), &b) != 0 || !S_ISREG(b.st_mode) || a.st_size != b.st_size)
        return false;
    int other = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (other < 0) return false;
    char x[65536], y[65536];
    bool same = true;
    for (off_t at = 0; same;) {
        ssize_t n = read_at(fd, x, sizeof x, at);
        ssize_t m = n > 0 ? read_at(other, y, static_cast<size_t>(n), at) : 0;
        if (n <= 0) {
            same = n == 0 && read_at(other, y, 1, at) == 0;
            break;
        }
        same = m == n && std::memcmp(x, y, static_cast<size_t>(n)) == 0;
        at += n;
    }
    close(other);
    return same;
}

// Gives whatever is at `path` the lowest free name "PATH.N" (N from 1). 0, or an errno.
int number_away(const std::string& path) {
    for (int n = 1; n < 100000; ++n) {
        const std::string numbered = path + "." + std::to_string(n);
        // A link fails rather than replace a name that exists.
        if (link(path.c_str(), numbered.c_str()) == 0) return unlink(path.c_str()) == 0 ? 0 : errno;
        if (errno == EEXIST) continue;
        if (errno == ENOENT) return 0;  // gone meanwhile
        // No hard links here (or a folder): a rename to a name that is free now.
        struct stat st;
        if (lstat(numbered.c_str(), &st) == 0) continue;
        return rename(path.c_str(), numbered.c_str()) == 0 ? 0 : errno;
    }
    return EEXIST;
}

}  // namespace

int file_keep_copy(int32_t number, const std::string& path, std::string& copy) {
    copy = path + ".damaged";
    const int32_t i = file_slot_index(number);
    if (i < 0) return EBADF;
    const int in = file_io[static_cast<size_t>(i)].fd;
    struct stat st;
    if (fstat(in, &st) != 0) return errno;
    // Kept already, byte for byte (a restart reads the same file again).
    if (same_bytes(in, copy)) return 0;
    // A copy that a killed program left half made.
    file_temp_remove_stale(copy);
    std::string temp;
    const int out = file_temp_create(copy, temp, 0600);
    if (out < 0) return errno;
    int err = 0;
    char buf[65536];
    for (off_t at = 0;;) {
        ssize_t n = read_at(in, buf, sizeof buf, at);
        if (n <= 0) {
            if (n < 0) err = errno;
            break;
        }
        if (!write_all(out, buf, static_cast<size_t>(n))) {
            err = errno;
            break;
        }
        at += n;
    }
    // As private as the file it copies, and on the disk before it has its name.
    if (!err && fchmod(out, st.st_mode & 07777) != 0) err = errno;
    if (!err && fsync(out) != 0 && errno != EINVAL && errno != EROFS) err = errno;
    // An older copy is never overwritten: it takes a number, and the new one its name.
    for (int tries = 0; !err; ++tries) {
        if (link(temp.c_str(), copy.c_str()) == 0) break;
        int why = errno;
        struct stat there;
        if (why != EEXIST && lstat(copy.c_str(), &there) != 0) {
            // No hard links here: a rename to the name that is free now.
            if (rename(temp.c_str(), copy.c_str()) != 0) err = errno;
            break;
        }
        if (tries == 3) {
            err = EEXIST;
            break;
        }
        err = number_away(copy);
    }
    file_temp_discard(out, temp);
    if (!err) file_sync_folder(copy);
    return err;
}
