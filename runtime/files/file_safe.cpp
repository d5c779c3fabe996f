// Writing a file only where it belongs, through a locked temporary file renamed over it.
#include "runtime/files/file_safe.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/files/file_table.h"

namespace {

// As many links as the system itself follows before it gives up.
constexpr int kMaxLinks = 40;
const char kTempTail[] = ".tmp";
constexpr size_t kSuffixLength = 6;

// Temporary files this process has begun and not yet committed or discarded (program thread and
// recorder thread write them; an exit from any thread removes them).
std::mutex g_unfinished_mutex;
std::vector<std::string> g_unfinished;

void list_unfinished(const std::string& temp) {
    std::lock_guard<std::mutex> hold(g_unfinished_mutex);
    g_unfinished.push_back(temp);
}

void unlist_unfinished(const std::string& temp) {
    std::lock_guard<std::mutex> hold(g_unfinished_mutex);
    auto it = std::find(g_unfinished.begin(), g_unfinished.end(), temp);
    if (it != g_unfinished.end()) g_unfinished.erase(it);
}

std::string random_suffix() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<uint64_t> counter{0};
    unsigned char bytes[kSuffixLength];
    if (getentropy(bytes, sizeof bytes) != 0) {
        struct timespec ts;
        clock_gettime(CLOCK_REALTIME, &ts);
        uint64_t x = static_cast<uint64_t>(ts.tv_nsec) ^ (static_cast<uint64_t>(getpid()) << 32) ^
                     (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(x >>= 7);
    }
    std::string s;
    for (unsigned char b : bytes) s += kChars[b % (sizeof kChars - 1)];
    return s;
}

// The name `path` still names the file open as `fd`.
bool names_file(int fd, const std::string& path) {
    struct stat a, b;
    return fstat(fd, &a) == 0 && lstat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string folder_of(const std::string& path) {
    size_t cut = path.rfind('/');
    return cut == std::string::npos ? std::string(".") : cut == 0 ? std::string("/") : path.substr(0, cut);
}

// "TARGET.XXXXXX.tmp" for the target's own name `base`.
bool is_temp_name(const std::string& name, const std::string& base) {
    const size_t tail = sizeof kTempTail - 1;
    if (name.size() != base.size() + 1 + kSuffixLength + tail) return false;
    if (name.compare(0, base.size(), base) != 0 || name[base.size()] != '.') return false;
    if (name.compare(name.size() - tail, tail, kTempTail) != 0) return false;
    for (size_t i = base.size() + 1; i < base.size() + 1 + kSuffixLength; ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

// Removes a regular file that no program holds locked (and, when `min_age` > 0, that nobody has
// written for that many seconds).
void remove_if_unheld(const std::string& path, time_t min_age) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    if (min_age > 0 && time(nullptr) - st.st_mtime < min_age) return;
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && names_file(fd, path)) unlink(path.c_str());
    close(fd);
}

}  // namespace

int file_write_target(const std::string& path, std::string& target, struct stat* old, bool* exists) {
    std::string p = path;
    if (exists) *exists = false;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0) {
            if (errno != ENOENT) return errno;
            target = p;  // a new name; a missing folder is the open's to report
            return 0;
        }
        if (S_ISLNK(st.st_mode)) {
            char buf[PATH_MAX];
            ssize_t n = readlink(p.c_str(), buf, sizeof buf);
            if (n < 0) return errno;
            if (n == 0 || n == static_cast<ssize_t>(sizeof buf)) return ENAMETOOLONG;
            std::string link(buf, static_cast<size_t>(n));
            size_t cut = p.rfind('/');
            p = link[0] == '/' || cut == std::string::npos ? link : p.substr(0, cut + 1) + link;
            continue;
        }
        target = p;
        if (S_ISREG(st.st_mode)) {
            if (exists) *exists = true;
            if (old) *old = st;
            return 0;
        }
        return S_ISDIR(st.st_mode) ? EISDIR : kFileNotRegular;
    }
    return ELOOP;
}

const char* file_error_text(int why) {
    return why == kFileNotRegular ? "Not a regular file (a device, FIFO or socket)" : std::strerror(why);
}

int32_t file_write_target_error(int why, const std::string& target) {
    if (why == kFileNotRegular || why == EISDIR) return 53;
    return file_open_errno_error(why, target);
}

int file_temp_create(const std::string& target, std::string& temp, mode_t mode) {
    for (int tries = 0; tries < 100; ++tries) {
        temp = target + "." + random_suffix() + kTempTail;
        int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        // Locked for as long as it is written, so that a program starting meanwhile leaves it.
        // A file system without locks still gets the file.
        int locked = flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : errno == EWOULDBLOCK ? -1 : 0;
        // A start-up's clean-up may have taken the name between the creation and the lock.
        if (locked >= 0 && names_file(fd, temp)) {
            list_unfinished(temp);
            return fd;
        }
        close(fd);
    }
    errno = EEXIST;
    return -1;
}

int file_temp_commit(int fd, const std::string& temp, const std::string& target, const struct stat* old) {
    int err = 0;
    // On the disk before it takes the old file's place: a power cut leaves one of the two whole.
    while (fsync(fd) != 0) {
        if (errno == EINTR) continue;
        if (errno != EINVAL && errno != EROFS) err = errno;
        break;
    }
    if (!err && old) {
        // The new file keeps the mode (and, where allowed, the owner) of the one it replaces;
        // best effort: the write itself has succeeded.
        (void)!fchown(fd, old->st_uid, old->st_gid);
        (void)!fchmod(fd, old->st_mode & 07777);
    }
    if (!err && rename(temp.c_str(), target.c_str()) != 0) err = errno;
    if (!err)
        file_sync_folder(target);
    else
        unlink(temp.c_str());
    close(fd);  // the lock goes with it, after the rename
    unlist_unfinished(temp);
    if (!err && frame_platform.file_committed) frame_platform.file_committed(target.c_str());
    return err;
}

void file_temp_discard(int fd, const std::string& temp) {
    unlink(temp.c_str());
    if (fd >= 0) close(fd);
    unlist_unfinished(temp);
}

void file_temp_remove_unfinished() {
    std::lock_guard<std::mutex> hold(g_unfinished_mutex);
    for (const std::string& temp : g_unfinished) unlink(temp.c_str());
    g_unfinished.clear();
}

void file_temp_remove_stale(const std::string& target, const char* legacy_name) {
    const std::string folder = folder_of(target);
    size_t cut = target.rfind('/');
    const std::string base = cut == std::string::npos ? target : target.substr(cut + 1);
    const std::string prefix = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
    std::vector<std::string> stale;
    if (DIR* dir = opendir(folder.c_str())) {
        while (struct dirent* e = readdir(dir))
            if (is_temp_name(e->d_name, base)) stale.push_back(prefix + e->d_name);
        closedir(dir);
    }
    for (const std::string& path : stale) remove_if_unheld(path, 0);
    // Older programs wrote one fixed name without a lock: only one left alone for a minute.
    if (legacy_name) remove_if_unheld(prefix + legacy_name, 60);
}

void file_sync_folder(const std::string& path) {
    int fd = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

void file_open_temp(int32_t number, const std::string& target) {
    if (frame_error.error_number != 0) return;
    if (!file_number_free(number)) return;
    std::string temp;
    int fd = file_temp_create(target, temp, 0666);
    if (fd < 0) {
        frame_raise(file_open_errno_error(errno, target));
        return;
    }
    struct stat st {};
    fstat(fd, &st);
    int32_t i = file_bind(number);
    FileSlot& slot = file_slots[static_cast<size_t>(i)];
    slot.write_allowed = 1;
    slot.mode = FILE_OUTPUT;
    FileIo& io = file_io[static_cast<size_t>(i)];
    io.fd = fd;
    io.dev = st.st_dev;
    io.ino = st.st_ino;
    io.temp = temp;
}

void file_commit(int32_t number, const std::string& target, const struct stat* old) {
    if (frame_error.error_number != 0) return;
    int32_t i = file_slot_index(number);
    if (i < 0 || file_io[static_cast<size_t>(i)].temp.empty()) {
        frame_raise(52);
        return;
    }
    FileIo& io = file_io[static_cast<size_t>(i)];
    int err = file_temp_commit(io.fd, io.temp, target, old);
    io.fd = -1;
    io.temp.clear();
    file_release(number);
    if (err) frame_raise(err == EXDEV ? 74 : file_errno_error(err, 75));
}
