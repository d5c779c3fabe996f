// Opening numbered files in the five modes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/core/error.h"
#include "runtime/files/file_table.h"

namespace {

constexpr int64_t kDefaultRecordLength = 128;
constexpr int64_t kMaxRecordLength = 32767;

bool is_screen_name(const std::string& name) {
    static const char kScreen[] = "SCRN:";
    if (name.size() < 5) return false;
    for (size_t i = 0; i < 5; ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != kScreen[i]) return false;
    }
    return true;
}

// Opened without waiting: a FIFO without a partner or a device would hold the open for ever.
// The descriptor blocks again once open.
int open_cloexec(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        int fl = fcntl(fd, F_GETFL);
        if (fl != -1) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    }
    return fd;
}

// Another open slot of this process on the same file whose lock, or ours, forbids the access.
bool lock_conflict(dev_t dev, ino_t ino, const FileSlot& mine) {
    for (size_t i = 0; i < file_slots.size(); ++i) {
        const FileSlot& other = file_slots[i];
        if (!other.in_use || other.screen_device || file_io[i].fd < 0) continue;
        if (file_io[i].dev != dev || file_io[i].ino != ino) continue;
        if ((other.lock_read && mine.read_allowed) || (other.lock_write && mine.write_allowed) ||
            (mine.lock_read && other.read_allowed) || (mine.lock_write && other.write_allowed))
            return true;
    }
    return false;
}

}  // namespace

void file_open(StringValue* name_value, int32_t mode, int32_t access, int32_t lock, int32_t number,
               int64_t record_length) {
    std::string name = file_take_text(name_value);
    if (frame_error.error_number != 0) return;
    if (!file_number_free(number)) return;
    if (mode < FILE_RANDOM || mode > FILE_APPEND) {
        frame_raise(54);
        return;
    }
    if (record_length <= 0) record_length = kDefaultRecordLength;
    if (mode == FILE_RANDOM && record_length > kMaxRecordLength) {
        frame_raise(59);
        return;
    }

    FileSlot slot;
    slot.in_use = 1;
    slot.lock_read = (lock & 1) ? 1 : 0;
    slot.lock_write = (lock & 2) ? 1 : 0;
    slot.mode = mode == FILE_APPEND ? FILE_OUTPUT : mode;
    slot.record_length = record_length;
    slot.print_column = 1;

    if (is_screen_name(name)) {
        slot.screen_device = 1;
        slot.read_allowed = mode == FILE_INPUT || mode == FILE_RANDOM || mode == FILE_BINARY;
        slot.write_allowed = mode != FILE_INPUT;
        int32_t i = file_bind(number);
        file_slots[static_cast<size_t>(i)] = slot;
        return;
    }
    if (name.empty() || std::memchr(name.data(), 0, name.size()) != nullptr) {
        frame_raise(64);
        return;
    }

    int fd = -1;
    switch (mode) {
        case FILE_RANDOM:
        case FILE_BINARY: {
            static const int kTries[3] = {O_RDWR, O_RDONLY, O_WRONLY};
            int first = 0, last = 2;
            if (access == 1) first = last = 1;
            if (access == 2) first = last = 2;
            if (access == 3) first = last = 0;
            int first_errno = 0;
            for (int t = first; t <= last; ++t) {
                fd = open_cloexec(name, kTries[t] | O_CREAT);
                if (fd >= 0) {
                    slot.read_allowed = kTries[t] != O_WRONLY;
                    slot.write_allowed = kTries[t] != O_RDONLY;
                    break;
                }
                if (t == first) first_errno = errno;
                if (!file_errno_refused(errno)) break;
            }
            if (fd < 0) errno = first_errno;
            break;
        }
        case FILE_INPUT: {
            // A device is never read and so not even opened: opening some has effects of its own.
            struct stat pre;
            if (stat(name.c_str(), &pre) == 0 && (S_ISCHR(pre.st_mode) || S_ISBLK(pre.st_mode))) {
                frame_raise(53);
                return;
            }
            fd = open_cloexec(name, O_RDONLY);
            slot.read_allowed = 1;
            break;
        }
        case FILE_OUTPUT:
            fd = open_cloexec(name, O_WRONLY | O_CREAT);  // emptied once the locks allow it
            slot.write_allowed = 1;
            break;
        case FILE_APPEND:
            fd = open_cloexec(name, O_WRONLY | O_CREAT);
            slot.write_allowed = 1;
            break;
    }
    if (fd < 0) {
        frame_raise(file_open_errno_error(errno, name));
        return;
    }

    // Input reads by position from the start and needs an end: only a regular file has both.
    // Anything else (a FIFO, a device, a folder) is refused as a folder always was.
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || (mode == FILE_INPUT && !S_ISREG(st.st_mode))) {
        close(fd);
        frame_raise(53);
        return;
    }
    if (lock_conflict(st.st_dev, st.st_ino, slot)) {
        close(fd);
        frame_raise(70);
        return;
    }

    FileIo io;
    io.fd = fd;
    io.dev = st.st_dev;
    io.ino = st.st_ino;
    if (mode == FILE_OUTPUT && S_ISREG(st.st_mode) && st.st_size > 0 && ftruncate(fd, 0) != 0) {
        int err = errno;
        close(fd);
        frame_raise(file_errno_error(err, 53));
        return;
    }
    if (mode == FILE_APPEND) {
        off_t end = lseek(fd, 0, SEEK_END);
        if (end < 0) {
            int err = errno;
            close(fd);
            frame_raise(file_errno_error(err, 53));
            return;
        }
        slot.position = end;
    }
    if (mode == FILE_INPUT) {
        // Read ahead from the start; a first byte 26 marks the end at once.
        io.buffer = new uint8_t[kFileReadAhead];
        ssize_t n;
        do {
            n = pread(fd, io.buffer, kFileReadAhead, 0);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            int err = errno;
            delete[] io.buffer;
            close(fd);
            frame_raise(file_errno_error(err, 53));
            return;
        }
        io.buffer_start = 0;
        io.buffer_length = static_cast<int32_t>(n);
        if (n > 0 && io.buffer[0] == 26) slot.eof_seen = 1;
        slot.position = 0;
    }
    if (mode == FILE_RANDOM) slot.record_buffer = new uint8_t[static_cast<size_t>(record_length)]();

    int32_t i = file_bind(number);
    file_slots[static_cast<size_t>(i)] = slot;
    file_io[static_cast<size_t>(i)] = io;
}

void file_open_letter(StringValue* letter, int32_t number, StringValue* name,
                      int64_t record_length) {
    std::string l = file_take_text(letter);
    if (frame_error.error_number != 0) {
        file_take_text(name);
        return;
    }
    int32_t mode = 0;
    // Only the first character counts.
    if (!l.empty()) {
        switch (l[0]) {
            case 'R': case 'r': mode = FILE_RANDOM; break;
            case 'B': case 'b': mode = FILE_BINARY; break;
            case 'I': case 'i': mode = FILE_INPUT; break;
            case 'O': case 'o': mode = FILE_OUTPUT; break;
            case 'A': case 'a': mode = FILE_APPEND; break;
            default: break;
        }
    }
    if (mode == 0) {
        file_take_text(name);
        frame_raise(54);
        return;
    }
    file_open(name, mode, 0, 0, number, record_length);
}
