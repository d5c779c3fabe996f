// Reading numeric fields from files opened for input.
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/files/file_table.h"

namespace {

constexpr int kMaxDigits = 17;
constexpr int64_t kExponentClamp = 1000000000;  // far beyond any finite double
constexpr double kSingleMax = 3.402823466E+38;

// Byte access at the slot's position through the read-ahead buffer.
struct Reader {
    FileSlot& slot;
    FileIo& io;
    int err = 0;

    // The byte at the position, or -1 at the end of the data. A byte 26 is the end too: it is
    // remembered and the position stays on it.
    int peek() {
        if (slot.eof_seen || err) return -1;
        int64_t p = slot.position;
        if (p < io.buffer_start || p >= io.buffer_start + io.buffer_length) {
            if (!refill(p)) return -1;
        }
        int b = io.buffer[p - io.buffer_start];
        if (b == 26) {
            slot.eof_seen = 1;
            return -1;
        }
        return b;
    }
    void next() { ++slot.position; }

    bool refill(int64_t p) {
        // A field can run through a whole file: a close or quit ends the read here.
        if (frame_run.exit_now.load(std::memory_order_relaxed)) frame_stop_program_thread();
        ssize_t n;
        do {
            n = pread(io.fd, io.buffer, kFileReadAhead, static_cast<off_t>(p));
            if (n < 0 && errno == ESPIPE) n = read(io.fd, io.buffer, kFileReadAhead);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            err = errno;
            return false;
        }
        io.buffer_start = p;
        io.buffer_length = static_cast<int32_t>(n);
        return n > 0;
    }
};

bool is_separator(int c) { return c == ',' || c == 13 || c == 10; }

int hex_digit(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Consumes what ends the field after the number (or after a character that is no number).
void skip_separator(Reader& r, bool garbage) {
    int c = r.peek();
    if (!garbage) {
        while (c == ' ') {
            r.next();
            c = r.peek();
            if (c != ' ' && !is_separator(c)) return;  // a lone blank ends the field
        }
        garbage = c >= 0 && !is_separator(c);
    }
    if (garbage) {
        while (c >= 0 && !is_separator(c)) {
            r.next();
            c = r.peek();
        }
    }
    if (c == ',') {
        r.next();
    } else if (c == 13 || c == 10) {
        r.next();
        int pair = c == 13 ? 10 : 13;
        if (r.peek() == pair) r.next();
    }
}

// A scanned field: a 64-bit pattern for &H/&O, else significant decimal digits.
struct Field {
    bool integer = false;
    uint64_t bits = 0;
    bool overflow = false;
    bool negative = false;
    char digits[kMaxDigits + 1] = {};
    int ndigits = 0;
    bool significant = false;
    int64_t magnitude = 0;  // value = 0.d1d2... * 10^magnitude
    int64_t exponent = 0;
};

// Returns false when the first character does not start a number.
bool scan_number(Reader& r, Field& f) {
    int c = r.peek();
    if (c == '&') {
        r.next();
        c = r.peek();
        int base = (c == 'H' || c == 'h') ? 16 : (c == 'O' || c == 'o') ? 8 : 0;
        if (base == 0) return false;
        r.next();
        int limit = base == 16 ? 16 : 21;
        int count = 0;
        f.integer = true;
        for (;;) {
            c = r.peek();
            int d = hex_digit(c);
            if (d < 0 || d >= base) break;
            r.next();
            if (count == 0 && d == 0) continue;  // leading zeros do not count
            if (++count > limit) {
                f.overflow = true;
                continue;
            }
            f.bits = f.bits * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        }
        return true;
    }
    if (c == '+' || c == '-') {
        f.negative = c == '-';
        r.next();
        c = r.peek();
    }
    while (c >= '0' && c <= '9') {
        if (c != '0' || f.significant) {
            f.significant = true;
            ++f.magnitude;
            if (f.ndigits < kMaxDigits) f.digits[f.ndigits++] = static_cast<char>(c);
        }
        r.next();
        c = r.peek();
    }
    if (c == '.') {
        r.next();
        c = r.peek();
        while (c >= '0' && c <= '9') {
            if (!f.significant && c == '0') {
                --f.magnitude;
            } else {
                f.significant = true;
                if (f.ndigits < kMaxDigits) f.digits[f.ndigits++] = static_cast<char>(c);
            }
            r.next();
            c = r.peek();
        }
    }
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
        r.next();
        c = r.peek();
        bool negative_exponent = false;
        if (c == '+' || c == '-') {
            negative_exponent = c == '-';
            r.next();
            c = r.peek();
        }
        int64_t e = 0;
        while (c >= '0' && c <= '9') {
            if (e < kExponentClamp) e = e * 10 + (c - '0');
            r.next();
            c = r.peek();
        }
        f.exponent = negative_exponent ? -e : e;
    }
    return true;
}

// Double value of the field; false on overflow.
bool convert(const Field& f, double& value) {
    value = 0;
    if (f.integer) {
        if (f.overflow) return false;
        int64_t v;
        std::memcpy(&v, &f.bits, sizeof v);
        value = static_cast<double>(v);
        return true;
    }
    if (!f.significant) return true;
    int64_t e = f.magnitude - 1 + f.exponent;
    if (e > 308) return false;
    // sign, first digit, ".", further digits, "E", exponent
    char text[64];
    int n = 0;
    if (f.negative) text[n++] = '-';
    text[n++] = f.digits[0];
    text[n++] = '.';
    if (f.ndigits == 1) text[n++] = '0';
    for (int i = 1; i < f.ndigits; ++i) text[n++] = f.digits[i];
    std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "E%lld",
                  static_cast<long long>(e));
    value = std::strtod(text, nullptr);
    return true;
}

// Range of the target type; integer targets are rounded ties-to-even.
bool fit_type(int32_t type, double& value) {
    switch (type) {
        case FILE_NUM_SINGLE:
            return !(std::fabs(value) > kSingleMax) && !std::isnan(value);
        case FILE_NUM_DOUBLE:
            return std::isfinite(value);
        case FILE_NUM_INT16:
        case FILE_NUM_INT32:
        case FILE_NUM_INT64: {
            if (!std::isfinite(value)) return false;
            double r = std::nearbyint(value);
            double lo = type == FILE_NUM_INT16 ? -32768.0
                        : type == FILE_NUM_INT32 ? -2147483648.0
                                                 : -9223372036854775808.0;
            double hi = -lo - 1.0;  // exact for 16 and 32 bits; rounds to 2^63 for 64 bits
            if (type == FILE_NUM_INT64 ? (r < lo || r >= -lo) : (r < lo || r > hi)) return false;
            value = r;
            return true;
        }
        default:
            return true;
    }
}

}  // namespace

double file_input_number(int32_t number, int32_t type) {
    if (frame_error.error_number != 0) return 0;
    int32_t index = file_slot_index(number);
    if (index < 0) {
        frame_raise(52);
        return 0;
    }
    FileSlot& slot = file_slots[static_cast<size_t>(index)];
    if (slot.mode != FILE_INPUT) {
        frame_raise(54);
        return 0;
    }
    if (!slot.read_allowed || slot.screen_device) {
        frame_raise(75);
        return 0;
    }
    if (type < FILE_NUM_SINGLE || type > FILE_NUM_INT64) {
        frame_raise(5);
        return 0;
    }

    Reader r{slot, file_io[static_cast<size_t>(index)]};
    int c = r.peek();
    while (c == ' ') {
        r.next();
        c = r.peek();
    }
    if (c < 0) {
        frame_raise(r.err ? file_errno_error(r.err, 75) : 62);
        return 0;
    }

    Field f;
    bool is_number = is_separator(c) || scan_number(r, f);
    skip_separator(r, !is_number);
    if (r.err) {
        frame_raise(file_errno_error(r.err, 75));
        return 0;
    }
    if (!is_number) return 0;  // a field without a number reads as 0

    double value;
    if (!convert(f, value) || !fit_type(type, value)) {
        frame_raise(6);
        return 0;
    }
    return value;
}
