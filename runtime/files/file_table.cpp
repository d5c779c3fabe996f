// File-number table, slot table and closing.
#include "runtime/files/file_table.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/core/error.h"
#include "runtime/files/file_safe.h"

std::vector<int32_t> file_numbers;
std::vector<FileSlot> file_slots;
std::vector<FileIo> file_io;

void (*file_screen_print)(StringValue* text, int32_t line_end) = nullptr;

int32_t file_slot_index(int32_t number) {
    if (number < 1 || static_cast<size_t>(number) >= file_numbers.size()) return -1;
    return file_numbers[static_cast<size_t>(number)];
}

FileSlot* file_slot(int32_t number) {
    int32_t i = file_slot_index(number);
    return i < 0 ? nullptr : &file_slots[static_cast<size_t>(i)];
}

bool file_number_free(int32_t number) {
    if (number < 1 || number > kFileNumberLimit) {
        frame_raise(52);
        return false;
    }
    if (file_slot_index(number) >= 0) {
        frame_raise(55);
        return false;
    }
    return true;
}

int32_t file_bind(int32_t number) {
    if (static_cast<size_t>(number) >= file_numbers.size())
        file_numbers.resize(static_cast<size_t>(number) + 1, -1);
    size_t i = 0;
    while (i < file_slots.size() && file_slots[i].in_use) ++i;
    if (i == file_slots.size()) {
        file_slots.emplace_back();
        file_io.emplace_back();
    }
    file_slots[i] = FileSlot{};
    file_slots[i].in_use = 1;
    file_io[i] = FileIo{};
    file_numbers[static_cast<size_t>(number)] = static_cast<int32_t>(i);
    return static_cast<int32_t>(i);
}

void file_release(int32_t number) {
    int32_t i = file_slot_index(number);
    if (i < 0) return;
    FileSlot& slot = file_slots[static_cast<size_t>(i)];
    FileIo& io = file_io[static_cast<size_t>(i)];
    if (!io.temp.empty())
        file_temp_discard(io.fd, io.temp);  // a save that did not finish leaves nothing
    else if (io.fd >= 0)
        close(io.fd);
    delete[] io.buffer;
    delete[] slot.record_buffer;
    io = FileIo{};
    slot = FileSlot{};
    file_numbers[static_cast<size_t>(number)] = -1;
}

void file_close(int32_t number) {
    if (frame_error.error_number != 0) return;
    file_release(number);
}

void file_sync(int32_t number) {
    if (frame_error.error_number != 0) return;
    int32_t i = file_slot_index(number);
    if (i < 0) {
        frame_raise(52);
        return;
    }
    int fd = file_io[static_cast<size_t>(i)].fd;
    if (fd < 0) return;  // the screen device
    int r;
    do {
        r = fsync(fd);
    } while (r != 0 && errno == EINTR);
    // A pipe or terminal has nothing to flush.
    if (r != 0 && errno != EINVAL && errno != EROFS) frame_raise(file_errno_error(errno, 75));
}

void file_close_all() {
    for (size_t n = 1; n < file_numbers.size(); ++n)
        if (file_numbers[n] >= 0) file_release(static_cast<int32_t>(n));
}

bool file_errno_refused(int err) {
    return err == EACCES || err == EPERM || err == EROFS || err == ETXTBSY || err == EBUSY;
}

int32_t file_errno_error(int err, int32_t fallback) {
    if (file_errno_refused(err)) return 70;
    switch (err) {
        case ENAMETOOLONG: case EINVAL:
            return 64;
        case ENXIO: case ENODEV:
            return 68;
        case ENOSPC:
            return 61;
        default:
            return fallback;
    }
}

int32_t file_open_errno_error(int err, const std::string& path) {
    if (err != ENOENT) return file_errno_error(err, 53);
    size_t cut = path.rfind('/');
    if (cut == std::string::npos) return 53;  // the current folder exists
    std::string folder = cut == 0 ? std::string("/") : path.substr(0, cut);
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 76;
    return 53;
}

std::string file_take_text(StringValue* s) {
    if (!s) return std::string();
    std::string text;
    if (s->data && s->length > 0)
        text.assign(reinterpret_cast<const char*>(s->data), static_cast<size_t>(s->length));
    if (s->is_temporary) sv_free(s);
    return text;
}
