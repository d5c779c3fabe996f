// gfx: images, screen modes and palettes (here), fonts, text output and drawing.
// Images, screen pages, screen modes and palettes.
//
// Threads: every ImageSurface, the image table and the page table belong to the program thread.
// The frame builder on the housekeeping thread reaches the display page only through
// gfx_display_acquire()/gfx_display_release() (below) and must not read gfx_images itself.
#pragma once
#include <atomic>
#include <cstdint>

struct ImageSurface {
    void* lock = nullptr;
    uint64_t lock_id = 0;
    uint8_t in_use = 0;
    uint8_t is_text = 0;
    uint8_t is_console = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t bytes_per_pixel = 0;
    uint8_t bits_per_pixel = 0;
    uint32_t colour_mask = 0;
    int16_t mode = 0;
    uint32_t foreground = 0;
    uint32_t background = 0;
    uint32_t draw_colour = 0;
    int32_t font = 0;
    uint16_t print_top = 0;
    uint16_t print_bottom = 0;
    uint16_t cursor_column = 0;
    uint16_t cursor_row = 0;
    uint8_t cursor_visible = 0;
    uint8_t cursor_start_line = 0;
    uint8_t cursor_end_line = 0;
    uint8_t* pixels = nullptr;
    uint32_t flags = 0;  // bit 0 owns palette, bit 1 screen page, bit 2 owns pixels, bit 3 system image
    uint32_t* palette = nullptr;
    int32_t transparent_index = -1;
    uint8_t blending_off = 0;
    uint8_t wrap_pending = 0;
    uint8_t glyph_mode = 0;
    // page state block
    int32_t view_x1 = 0, view_y1 = 0, view_x2 = 0, view_y2 = 0;
    int32_t view_origin_x = 0, view_origin_y = 0;
    float last_x = 0, last_y = 0;
    uint8_t coord_mode = 0;
    float scale_x = 0, scale_y = 0, scale_origin_x = 0, scale_origin_y = 0;
    float window_x1 = 0, window_y1 = 0, window_x2 = 0, window_y2 = 0;
    double turn_angle = 0;
    double draw_scale = 0;
};

// A system image (the built-in images made at start-up) survives the program's restart.
enum : uint32_t { IMAGE_OWNS_PALETTE = 1, IMAGE_SCREEN_PAGE = 2, IMAGE_OWNS_PIXELS = 4, IMAGE_SYSTEM = 8 };

struct FontMetrics {
    int32_t width = 0;
    int32_t height = 0;
    int32_t flags = 0;
};

// The image table, page table and current pages.
struct ImageTable {
    ImageSurface* images = nullptr;
    int32_t capacity = 0;
    int32_t count = 0;          // handles handed out from the end so far
    int32_t* free_stack = nullptr;
    int32_t free_count = 0;
    int32_t free_capacity = 0;
    int32_t* pages = nullptr;   // page number -> handle (0 = none)
    int32_t page_count = 0;
    int32_t write_handle = 0, read_handle = 0, display_handle = 0;
    ImageSurface* write_page = nullptr;
    ImageSurface* read_page = nullptr;
    ImageSurface* display_page = nullptr;
    int32_t active_page = 0;
    uint8_t initial_screen = 0;  // the start-up text screen is untouched
};

extern ImageTable gfx_images;

// Display page hand-over to the frame builder (housekeeping thread).
//
// Between gfx_display_acquire() and gfx_display_release() the builder may read, of the returned
// record: width, height, is_text, bytes_per_pixel, bits_per_pixel, mode, font, pixels (width x
// height x bytes_per_pixel bytes), palette (256 entries, null for mode 32), and for text pages the
// cursor fields. The program thread never frees, moves or starts drawing on a published page
// while a copy is in progress: before the page stops being the display page (page flip, mode
// change, image table growth) it publishes the new page and waits until the builder releases.
// When the write page is also the display page (single-page screens) the builder may see a page
// in the middle of being drawn; the application always draws on the page that is not shown.
struct DisplayHandover {
    std::atomic<ImageSurface*> page{nullptr};
    std::atomic<int32_t> busy{0};     // 1 while the builder reads the page
    std::atomic<int32_t> writing{0};  // 1 while the program draws on the page being shown
    int32_t write_depth = 0;          // nesting of the program's drawing (program thread only)
    // Graphics pages that became the display page since the last text screen. Counted by the
    // program thread after the hand-over, so a builder that reads it while holding the page
    // sees the count of that page or one less, never more.
    std::atomic<uint32_t> graphics_flips{0};
};
extern DisplayHandover gfx_display;

// Builder side: returns the display page (nullptr while there is none). Always pair with
// gfx_display_release(), also after a nullptr.
const ImageSurface* gfx_display_acquire();
void gfx_display_release();
// Program side: publishes `page` as the page to show and waits until a copy in progress of the
// previously published page has finished.
void gfx_display_publish(ImageSurface* page);

// Program side: drawing on the page that is being shown (the start-up text screen, the END
// prompt) waits for a copy in progress, and the builder skips its copy meanwhile.
void gfx_display_write_begin();
void gfx_display_write_end();
struct GfxDisplayWrite {
    bool on;
    GfxDisplayWrite();
    ~GfxDisplayWrite() {
        if (on) gfx_display_write_end();
    }
    GfxDisplayWrite(const GfxDisplayWrite&) = delete;
    GfxDisplayWrite& operator=(const GfxDisplayWrite&) = delete;
};

// Text grid asked for by the text-width operation; makes the next gfx_screen a mode change.
struct TextGridRequest {
    int32_t pending = 0;
    int32_t columns = 80;
    int32_t rows = 25;
};
extern TextGridRequest gfx_text_grid_request;

// Pause word between a mode change (program thread) and the frame builder:
// 0 running, 1 pause requested, 2 pause acknowledged.
extern std::atomic<int32_t> gfx_pause_word;

extern const uint32_t gfx_default_palette_table[256];  // 0xRRGGBB
extern uint32_t gfx_palette_256[256];                   // with alpha, filled at start-up
extern uint32_t gfx_palette_ega[64];                    // with alpha, filled at start-up
extern FontMetrics gfx_font_metrics[32];

// Character cell of an image: font metrics for graphics images, 1 x 1 for text images.
inline int32_t gfx_char_width(const ImageSurface* img) {
    if (img->is_text) return 1;
    int32_t w = gfx_font_metrics[img->font & 31].width;
    return w > 0 ? w : 8;
}
inline int32_t gfx_char_height(const ImageSurface* img) {
    if (img->is_text) return 1;
    int32_t h = gfx_font_metrics[img->font & 31].height;
    return h > 0 ? h : 16;
}

// Start-up: palettes, font metrics, the image table with its two reserved handles.
void gfx_init();
// The start-up 80 x 25 text screen.
void gfx_init_screen();

int32_t gfx_image_new(uint8_t* buffer, int32_t width, int32_t height, int32_t mode);
int32_t gfx_image_new_owned(int32_t width, int32_t height, int32_t mode);
bool gfx_image_free(int32_t handle);
ImageSurface* gfx_image(int32_t handle);  // nullptr when not in use
// The current-page pointers again from their handles (after the table moved or changed).
void gfx_rederive_current_pages();
void gfx_default_palette(ImageSurface* img, int32_t mode);
void gfx_set_font(int32_t font, ImageSurface* img);
int32_t gfx_page(int32_t page);
void gfx_reset_page_colours();
// Foreground colour of a mode after a reset (background is 0, mode 32: 0xFF000000).
uint32_t gfx_mode_foreground(int32_t mode);

enum : int32_t {
    GFX_SCREEN_MODE = 1,
    GFX_SCREEN_COLOUR_SWITCH = 2,
    GFX_SCREEN_ACTIVE = 4,
    GFX_SCREEN_VISUAL = 8,
    GFX_SCREEN_REFRESH = 16,
};
void gfx_screen(int32_t mode, int32_t colour_switch, int32_t active_page, int32_t visual_page,
                int32_t refresh, int32_t passed);

// Services of the layers above, registered by the start-up.
struct GfxHooks {
    // Program thread, at a page switch: `page` became the display page, the `flips`-th graphics
    // page since the last text screen (the recording of every frame).
    void (*page_shown)(const ImageSurface* page, uint32_t flips) = nullptr;
};
extern GfxHooks gfx_hooks;

// Restart: mode 0, 80 x 25, colours 7 on 0; frees the images of handle 2 and above that are
// neither screen pages nor system images.
void gfx_reset_for_restart();

// Releases an image with the buffer and palette it owns (flag bits 2 and 0).
void gfx_image_release(int32_t handle);
