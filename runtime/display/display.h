// display: the window, frame slots, the frame builder, the presenter and the dialog.
#pragma once
#include <atomic>
#include <cstdint>

struct ImageSurface;

// One of the three frames between the frame builder and the presenter.
// state: 1 free, 2 being built, 3 ready, 4 shown.
struct FrameSlot {
    std::atomic<int32_t> state{1};
    std::atomic<uint64_t> order{0};
    uint32_t* pixels = nullptr;  // 0xAARRGGBB, row after row
    int32_t width = 0, height = 0;
    int32_t capacity = 0;  // bytes allocated for pixels
    // While a recording runs: the paletted page's indices and palette behind the pixels
    // (palette_n 0 when the frame is not of a paletted page).
    uint8_t* indices = nullptr;
    int32_t index_capacity = 0;
    int32_t palette_n = 0;
    uint32_t palette[256] = {};
    // Graphics pages shown since the last text screen, as of the page this frame shows
    // (possibly one too low, never too high); 0 for a text screen.
    uint32_t graphics_flips = 0;
};
enum : int32_t { SLOT_FREE = 1, SLOT_BUILDING = 2, SLOT_READY = 3, SLOT_SHOWN = 4 };

extern FrameSlot disp_slots[3];

struct FrameBook {
    std::atomic<uint64_t> next_order{1};
    std::atomic<uint64_t> latest_order{0};     // latest slot finished or confirmed by the builder
    std::atomic<uint64_t> presented_order{0};  // latest_order when the presenter last drew
    std::atomic<int32_t> force_build{0};       // the next build may not be skipped
    // The newest built frame also shows the display page as of a later page switch, when a
    // build found that page unchanged: (order << 24) | graphics flips (capped at 2^24 - 1).
    std::atomic<uint64_t> confirmed{0};
};
extern FrameBook disp_book;

// Counters for tests and benchmarks.
struct DispStats {
    std::atomic<uint64_t> builds{0};    // frames converted into a slot
    std::atomic<uint64_t> skipped{0};   // builds that found the page unchanged
    std::atomic<uint64_t> uploads{0};   // textures made
    std::atomic<uint64_t> draws{0};     // presentations that drew
};
extern DispStats disp_stats;

// ---- Frame builder (housekeeping thread) ----
void disp_build_frame();
// The same from a given page, without the display-page hand-over (tests, benchmarks).
void disp_build_frame_from(const ImageSurface* page);
// Forgets the builder's memory and frees every slot (tests).
void disp_reset_frames();

// Pure slot choices over a snapshot of the three states and sequence numbers.
// Builder: the highest-index free slot, else the ready slot with the lowest number; -1 none.
int32_t disp_pick_build_slot(const int32_t state[3], const uint64_t order[3]);
// Presenter: the ready slot with the highest number above the shown one's, else the shown
// slot; -1 when nothing was ever shown or ready.
int32_t disp_pick_present_slot(const int32_t state[3], const uint64_t order[3]);

// ---- Presentation decisions (main thread; no GL) ----
struct PresentDecision {
    bool draw = false;     // something changed: draw and present
    bool upload = false;   // the chosen slot differs from the uploaded texture's
    int32_t slot = -1;
};
// Steps 2 to 4 of a presentation: chooses and shows a slot, frees older ones.
PresentDecision disp_present_choose();

// ---- Placement of the frame in the client area ----
struct Placement {
    int32_t left = 0, top = 0, width = 0, height = 0;
    double scale_x = 1, scale_y = 1;
    int32_t bars = 0;  // 0 none, 1 left and right, 2 above and below
};
// In a window (mode 0) the frame is drawn `window_scale` times larger at the top-left corner.
Placement disp_compute_placement(int32_t client_w, int32_t client_h, int32_t frame_w,
                                 int32_t frame_h, int32_t fullscreen_mode, int32_t window_scale = 1);

// ---- Window scale (--scale) ----
// The window shows the frame N times larger (1 ... 8) while not full screen; set at start-up.
void disp_set_window_scale(int32_t n);
int32_t disp_window_scale();
// The largest N (1 ... 8) whose window, N times frame_w x frame_h, fits in nine tenths of the
// screen's width and height; 1 when none does.
int32_t disp_auto_scale(int32_t screen_w, int32_t screen_h, int32_t frame_w, int32_t frame_h);

// The placement as the mouse mapping sees it (published by the presenter).
struct MousePlacement {
    int32_t left = 0, top = 0;
    double scale_x = 1, scale_y = 1;
    int32_t frame_w = 0, frame_h = 0;  // 0: nothing presented yet
};
MousePlacement disp_mouse_placement();
void disp_publish_placement(const Placement& p, int32_t frame_w, int32_t frame_h);

// ---- Full-screen cycle ----
struct ScreenModeState {
    int32_t mode = 0;        // 0 windowed, 1 stretched, 2 aspect kept
    int32_t requested = -1;  // -1 no request
    bool smooth = false;
};
// One Alt+Enter step: windowed -> 1 -> 1 smoothed -> 2 -> 2 smoothed -> windowed.
void disp_fullscreen_step(ScreenModeState& s);
// Alt+Enter on the program-wide state; forces the next build.
void disp_fullscreen_cycle();
ScreenModeState disp_screen_state();
// Applies a pending request as the presenter does (tests; the presenter calls the GL side).
void disp_set_screen_state(const ScreenModeState& s);

// ---- Services of the layers above, registered by the start-up ----
struct DispHooks {
    // Main thread, every redraw tick while the window exists: the key source's events.
    void (*redraw_tick)() = nullptr;
    // Main thread: `slot` is on the screen now; `uploaded` when it has just replaced the picture.
    void (*frame_shown)(const FrameSlot& slot, bool uploaded) = nullptr;
    // Housekeeping thread: keep the page's palette indices with every frame (a recording).
    bool (*keep_indices)() = nullptr;
};
extern DispHooks disp_hooks;

// ---- Window (main thread) ----
// Each platform's presenter: shows the newest finished frame (the desktop from FreeGLUT's
// display callback, the page from the browser's animation frames).
void disp_present();
// Registers the window's callbacks (the desktop's FreeGLUT callbacks and first redraw timer,
// the page's animation frames); call after the window exists (the keys and the mouse register
// their own).
void disp_register_callbacks();
// The presenters' memory; main thread only.
struct DispPresenter {
    int32_t texture_slot = -1;  // the slot the picture on the screen was made from
    uint64_t texture_order = 0;
    bool dialog_drawn = false;     // the last presentation showed a box
    bool window_reshaped = false;  // the window's size changed since the last presentation
};
extern DispPresenter disp_presenter;
// The window exists (called on the main thread right after it is made).
void disp_window_created();
// The window's close button (the page: the tab closed or reloaded): a close request, the window
// is gone, every waiting box is answered.
void disp_close_window();
bool disp_window_exists();
// The window's close button was pressed (the window is gone).
bool disp_window_closed();
// The calling thread is the window's (main) thread.
bool disp_on_main_thread();
// A window will be created (start-up sets it before starting the threads, clears it when
// the window cannot be made); message boxes wait for it.
void disp_set_window_expected(int32_t expected);
extern double disp_redraw_rate;  // frames per second

// ---- Message box drawn in the window ----
// Matches FrameMessageBoxFn: 1 for Yes/OK, 0 for No.
int32_t disp_message_box(const char* caption, const char* text, int32_t kind, int32_t flags);
// Main thread: a dialog is open (keys and clicks go to it).
bool disp_dialog_open();
// Main thread: a typed character for the dialog; answers on Y/Enter/N/Escape.
void disp_dialog_key(int32_t ch);
// Main thread: a click in client coordinates.
void disp_dialog_click(int32_t x, int32_t y);
// Main thread: the window is gone; every waiting box is answered Yes/OK.
void disp_dialog_window_closed();

// Dialog layout and picture (box-relative pixels), pure.
struct DialogLayout {
    int32_t width = 0, height = 0;
    int32_t line_count = 0;
    int32_t buttons = 0;          // 1 (OK) or 2 (Yes, No)
    int32_t button_x[2] = {0, 0};
    int32_t button_y = 0, button_w = 0, button_h = 0;
};
DialogLayout disp_dialog_layout(const char* caption, const char* text, int32_t kind);
// Draws the box into pixels (layout.width x layout.height, 0xAARRGGBB).
void disp_dialog_render(const DialogLayout& l, const char* caption, const char* text,
                        int32_t kind, uint32_t* pixels);
// 1 Yes/OK, 0 No, -1 no button at box-relative (x, y).
int32_t disp_dialog_hit(const DialogLayout& l, int32_t x, int32_t y);
// Main thread, presenter: the open dialog's picture and layout (nullptr when none).
const uint32_t* disp_dialog_picture(DialogLayout* layout, uint64_t* serial);
// The box's top-left corner in the client area, and how many times larger it is drawn.
void disp_dialog_place(int32_t left, int32_t top, int32_t scale = 1);
