// Indexed-colour PNG encoding of a paletted picture, into memory, for the page (which has no
// libpng): the rows are stored in the zlib stream as they are, without compression, so the
// picture is the desktop's pixel for pixel, in a file a few times larger.
#include <algorithm>
#include <array>
#include <cstring>

#include "runtime/record/png_rows.h"
#include "runtime/record/record.h"

namespace {

// Made once, by whichever thread encodes first.
const std::array<uint32_t, 256>& crc_table() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

uint32_t crc32(const uint8_t* p, size_t n) {
    const std::array<uint32_t, 256>& t = crc_table();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) c = t[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return c;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

void chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
    put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, crc32(out.data() + start, out.size() - start) ^ 0xFFFFFFFFu);
}

// A zlib stream of stored blocks (at most 65535 bytes each) with its Adler-32.
std::vector<uint8_t> stored_zlib(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
                 raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, b << 16 | a);
    return z;
}

}  // namespace

bool record_png_encode(const uint8_t* indices, int32_t w, int32_t h, const uint32_t* palette,
                       int32_t palette_n, std::vector<uint8_t>& out) {
    out.clear();
    if (!indices || !palette || w < 1 || h < 1) return false;
    const int32_t entries = record_png_entries(indices, w, h, palette_n);
    const int32_t depth = record_png_depth(entries);
    const size_t row_bytes = (static_cast<size_t>(w) * depth + 7) / 8;

    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    out.assign(kSignature, kSignature + 8);
    std::vector<uint8_t> ihdr;
    put32(ihdr, static_cast<uint32_t>(w));
    put32(ihdr, static_cast<uint32_t>(h));
    ihdr.insert(ihdr.end(), {static_cast<uint8_t>(depth), 3, 0, 0, 0});  // palette, no interlace
    chunk(out, "IHDR", ihdr);
    std::vector<uint8_t> plte;
    for (int32_t i = 0; i < entries; ++i)
        plte.insert(plte.end(), {static_cast<uint8_t>(palette[i] >> 16), static_cast<uint8_t>(palette[i] >> 8),
                                 static_cast<uint8_t>(palette[i])});
    chunk(out, "PLTE", plte);
    // Every row with filter 0 (none), as the desktop's.
    std::vector<uint8_t> raw((row_bytes + 1) * static_cast<size_t>(h));
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = raw.data() + (row_bytes + 1) * static_cast<size_t>(y);
        row[0] = 0;
        record_png_pack_row(indices + static_cast<size_t>(y) * w, w, depth, row + 1);
    }
    chunk(out, "IDAT", stored_zlib(raw));
    chunk(out, "IEND", {});
    return true;
}
