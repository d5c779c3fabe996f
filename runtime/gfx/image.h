// Images, screen pages, screen modes and palettes.
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
    uint32_t flags = 0;  // bit 0 owns palette, bit 1 screen page, bit 2 owns pixels
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

enum : uint32_t { IMAGE_OWNS_PALETTE = 1, IMAGE_SCREEN_PAGE = 2, IMAGE_OWNS_PIXELS = 4 };

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

// Pause word between a mode change (program thread) and the frame builder:
// 0 running, 1 pause requested, 2 pause acknowledged.
extern std::atomic<int32_t> gfx_pause_word;

extern const uint32_t gfx_default_palette_table[256];  // 0xRRGGBB
extern uint32_t gfx_palette_256[256];                   // with alpha, filled at start-up
extern uint32_t gfx_palette_ega[64];                    // with alpha, filled at start-up
extern FontMetrics gfx_font_metrics[32];

// Start-up: palettes, font metrics, the image table with its two reserved handles.
void gfx_init();
// The start-up 80 x 25 text screen.
void gfx_init_screen();

int32_t gfx_image_new(uint8_t* buffer, int32_t width, int32_t height, int32_t mode);
int32_t gfx_image_new_owned(int32_t width, int32_t height, int32_t mode);
bool gfx_image_free(int32_t handle);
ImageSurface* gfx_image(int32_t handle);  // nullptr when not in use
void gfx_default_palette(ImageSurface* img, int32_t mode);
void gfx_set_font(int32_t font, ImageSurface* img);
int32_t gfx_page(int32_t page);
void gfx_reset_page_colours();

enum : int32_t {
    GFX_SCREEN_MODE = 1,
    GFX_SCREEN_COLOUR_SWITCH = 2,
    GFX_SCREEN_ACTIVE = 4,
    GFX_SCREEN_VISUAL = 8,
    GFX_SCREEN_REFRESH = 16,
};
void gfx_screen(int32_t mode, int32_t colour_switch, int32_t active_page, int32_t visual_page,
                int32_t refresh, int32_t passed);

// Restart: mode 0, 80 x 25, colours 7 on 0; frees user images of handle 2 and above.
void gfx_reset_for_restart();
