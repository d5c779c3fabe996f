// Text output to numbered files, laid out like screen printing.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/files/file_table.h"

namespace {

constexpr int64_t kZoneWidth = 14;

void advance_column(FileSlot& slot, const uint8_t* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (bytes[i] == 13)
            slot.print_column = 1;
        else if (bytes[i] != 10)
            ++slot.print_column;
    }
}

// Blanks that follow the one zone blank up to the next column 1 + 14k.
int64_t zone_fill(int64_t column_after_blank) {
    int64_t r = (column_after_blank - 1) % kZoneWidth;
    if (r < 0) r += kZoneWidth;
    return r == 0 ? 0 : kZoneWidth - r;
}

// 0 or the errno of the failed write.
int write_at(FileIo& io, int64_t& position, const uint8_t* bytes, size_t n) {
    while (n > 0) {
        ssize_t w = pwrite(io.fd, bytes, n, static_cast<off_t>(position));
        if (w < 0 && errno == ESPIPE) w = write(io.fd, bytes, n);  // pipes and terminals
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (w == 0) return EIO;
        bytes += w;
        n -= static_cast<size_t>(w);
        position += w;
    }
    return 0;
}

void print_screen(FileSlot& slot, StringValue* text, int32_t trailing_blank, int32_t next_zone,
                  int32_t line_end) {
    if (text && text->data && text->length > 0)
        advance_column(slot, text->data, static_cast<size_t>(text->length));
    int64_t fill = 0;
    if (trailing_blank) ++slot.print_column;
    if (next_zone) {
        ++slot.print_column;
        fill = zone_fill(slot.print_column);
        slot.print_column += fill;
    }
    if (line_end) slot.print_column = 1;

    if (file_screen_print) {
        bool more = trailing_blank || next_zone;
        file_screen_print(text ? text : sv_empty(), more ? 0 : line_end);
        if (trailing_blank) file_screen_print(sv_one_space(), next_zone ? 0 : line_end);
        if (next_zone) file_screen_print(sv_space(static_cast<int32_t>(fill + 1)), line_end);
        return;
    }
    std::string bytes = file_take_text(text);
    if (trailing_blank) bytes += ' ';
    if (next_zone) bytes.append(static_cast<size_t>(fill + 1), ' ');
    if (line_end) bytes += '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

void file_print(int32_t number, StringValue* text, int32_t trailing_blank, int32_t next_zone,
                int32_t line_end) {
    if (frame_error.error_number != 0) {
        file_take_text(text);
        return;
    }
    int32_t index = file_slot_index(number);
    if (index < 0) {
        file_take_text(text);
        frame_raise(52);
        return;
    }
    FileSlot& slot = file_slots[static_cast<size_t>(index)];
    if (slot.screen_device) {
        print_screen(slot, text, trailing_blank, next_zone, line_end);
        return;
    }
    if (slot.mode != FILE_OUTPUT) {
        file_take_text(text);
        frame_raise(54);
        return;
    }
    if (!slot.write_allowed) {
        file_take_text(text);
        frame_raise(75);
        return;
    }

    // One write per print: the text, its blanks and the line end together.
    static std::vector<uint8_t> out;
    out.clear();
    if (text && text->data && text->length > 0)
        out.insert(out.end(), text->data, text->data + text->length);
    if (text && text->is_temporary) sv_free(text);
    advance_column(slot, out.data(), out.size());
    if (trailing_blank) {
        out.push_back(' ');
        ++slot.print_column;
    }
    if (next_zone) {
        out.push_back(' ');
        ++slot.print_column;
        int64_t fill = zone_fill(slot.print_column);
        out.insert(out.end(), static_cast<size_t>(fill), ' ');
        slot.print_column += fill;
    }
    if (line_end) {
        out.push_back(13);
        out.push_back(10);
        slot.print_column = 1;
    }
    int err = write_at(file_io[static_cast<size_t>(index)], slot.position, out.data(), out.size());
    if (err != 0) frame_raise(file_errno_error(err, 75));
}
