// Indexed-colour PNG encoding of a paletted picture, into memory, by libpng (the desktop).
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>

#include "runtime/record/png_rows.h"
#include "runtime/record/record.h"

namespace {

struct Sink {
    std::vector<uint8_t>* out;
};

void sink_write(png_structp png, png_bytep data, png_size_t n) {
    auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
    bool ok = true;
    try {
        sink->out->insert(sink->out->end(), data, data + n);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) png_error(png, "out of memory");
}

void sink_flush(png_structp) {}

void quiet_warning(png_structp, png_const_charp) {}

// Everything libpng may jump out of lives in plain records, so the jump skips no destructor.
bool encode(png_structp png, png_infop info, const uint8_t* indices, int32_t w, int32_t h,
            const png_color* plte, int32_t entries, int32_t depth, uint8_t* row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), depth,
                 PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, plte, entries);
    // Palette pictures of flat colours: no filtering, fast run-length friendly compression.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_RLE);
    png_write_info(png, info);
    for (int32_t y = 0; y < h; ++y) {
        record_png_pack_row(indices + static_cast<size_t>(y) * w, w, depth, row);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

bool record_png_encode(const uint8_t* indices, int32_t w, int32_t h, const uint32_t* palette,
                     int32_t palette_n, std::vector<uint8_t>& out) {
    out.clear();
    if (!indices || !palette || w < 1 || h < 1) return false;
    const size_t n = static_cast<size_t>(w) * h;
    const int32_t entries = record_png_entries(indices, w, h, palette_n);
    png_color plte[256];
    for (int32_t i = 0; i < entries; ++i) {
        plte[i].red = static_cast<png_byte>(palette[i] >> 16);
        plte[i].green = static_cast<png_byte>(palette[i] >> 8);
        plte[i].blue = static_cast<png_byte>(palette[i]);
    }
    std::vector<uint8_t> row(static_cast<size_t>(w));
    out.reserve(n / 4 + 1024);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quiet_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    bool ok = false;
    if (info) {
        Sink sink{&out};
        png_set_write_fn(png, &sink, sink_write, sink_flush);
        ok = encode(png, info, indices, w, h, plte, entries, record_png_depth(entries), row.data());
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!ok) out.clear();
    return ok;
}
