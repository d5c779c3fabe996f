#include "app_support.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "app/sim_main.h"
#include "app/sim_saved_state.h"
#include "app/sim_state.h"
#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/display/display.h"
#include "runtime/frame/restart.h"
#include "runtime/frame/startup.h"
#include "runtime/frame/threads.h"
#include "runtime/gfx/image.h"
#include "runtime/gfx/text_output.h"
#include "runtime/input/input.h"
#include "runtime/text/random_timer.h"

std::vector<AppDialog> app_dialogs;
int32_t app_dialog_answer = 1;

namespace {

std::mutex g_mutex;
std::condition_variable g_cv;
int64_t g_done = 0;     // frames completed
int64_t g_allowed = 0;  // frames the program may complete before it waits
bool g_release = false; // the program no longer waits (the run is being ended)
std::atomic<int> g_exit_status{-1};
bool g_started = false;
std::filesystem::path g_folder, g_previous_dir;

void frame_hook() {
    std::unique_lock<std::mutex> lock(g_mutex);
    ++g_done;
    g_cv.notify_all();
    g_cv.wait(lock, [] { return g_release || g_done < g_allowed; });
}

void record_exit(int32_t status) {
    g_exit_status.store(status);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_release = true;
    }
    g_cv.notify_all();
    throw FrameStopped{};
}

int32_t record_box(const char* caption, const char* text, int32_t, int32_t) {
    std::lock_guard<std::mutex> lock(g_mutex);
    app_dialogs.push_back({caption, text});
    return app_dialog_answer;
}

// Half a second into the day, for ever: every start draws the same warm-up count.
int64_t fixed_clock() { return 500; }

bool program_stopped() { return (frame_run.threads_done.load() & 1) != 0; }

}  // namespace

void app_prepare() {
    static bool once = false;
    if (!once) {
        once = true;
        frame_init_runtime();
        gfx_init_screen();
    }
    frame_run_reset();
    frame_error = ErrorState{};
    input_init();
    timer_clock_source = fixed_clock;
    timer_base = TimerBase{};
    frame_reset_runtime();
    frame_clear_module();
    frame_error = ErrorState{};
    app_dialogs.clear();
    app_dialog_answer = 1;
    g_done = 0;
    g_allowed = 1;
    g_release = false;
    g_exit_status = -1;
    frame_platform.exit_process = record_exit;
    frame_platform.stop_leaves_thread = true;
    frame_platform.message_box = record_box;
    frame_set_program_routine(sim_main);
    // The frame builder, as in the program: it also acknowledges screen-mode changes.
    frame_threads.build_frame = disp_build_frame;
    sim_frame_hook = frame_hook;
    // The usual state file, no preset, the warm-up count from the (fixed) clock.
    sim_state_path = "kavaro.dat";
    sim_preset_path.clear();
    sim_swarm_pending = false;
    sim_start_draws = 0;

    g_previous_dir = std::filesystem::current_path();
    std::string tmpl = (std::filesystem::temp_directory_path() / "kavaro-app-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    char* made = mkdtemp(buf.data());
    g_folder = made ? made : tmpl;
    std::filesystem::current_path(g_folder);
}

void app_start() {
    g_started = true;
    frame_start_threads();
    std::unique_lock<std::mutex> lock(g_mutex);
    g_cv.wait_for(lock, std::chrono::seconds(20), [] { return g_done >= 1 || g_release; });
}

bool app_step(int n) {
    std::unique_lock<std::mutex> lock(g_mutex);
    const int64_t target = g_done + n;
    g_allowed = target;
    g_cv.notify_all();
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (g_done < target) {
        if (g_release) return false;
        if (program_stopped()) return false;
        if (g_cv.wait_until(lock, end) == std::cv_status::timeout && g_done < target) return false;
    }
    return true;
}

int64_t app_frames() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_done;
}

bool app_program_stopped() { return program_stopped(); }

bool app_wait_exit(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (g_exit_status.load() != -1) return true;
        frame_sleep_ms(2);
    }
    return g_exit_status.load() != -1;
}

int app_exit_status() { return g_exit_status.load(); }

void app_stop() {
    if (g_started) {
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_release = true;
        }
        g_cv.notify_all();
        if (g_exit_status.load() == -1) frame_run.close_requests.fetch_or(1);
        app_wait_exit(20000);
        frame_join_threads();
        g_started = false;
    }
}

void app_finish() {
    app_stop();
    sim_frame_hook = nullptr;
    frame_threads.build_frame = nullptr;
    frame_platform = FramePlatform{};
    timer_clock_source = nullptr;
    if (!g_folder.empty()) {
        std::filesystem::current_path(g_previous_dir);
        std::error_code ec;
        std::filesystem::remove_all(g_folder, ec);
        g_folder.clear();
    }
}

std::string app_folder() { return g_folder.string(); }

void app_key(int32_t code) {
    input_key_event(code, 1);
    input_key_event(code, 0);
}
void app_move(int x, int y) { input_mouse_event(INPUT_MOUSE_MOTION, 0, x, y); }
void app_press(int button, int x, int y) { input_mouse_event(INPUT_MOUSE_DOWN, button, x, y); }
void app_release(int button, int x, int y) { input_mouse_event(INPUT_MOUSE_UP, button, x, y); }

void app_click(int button, int x, int y) {
    app_move(x, y);
    app_step(2);
    app_press(button, x, y);
    app_step(2);
    app_release(button, x, y);
    app_step(2);
}

const ImageSurface* app_shown_page() { return gfx_images.display_page; }
const ImageSurface* app_drawn_page() { return gfx_images.write_page; }

int app_pixel(const ImageSurface* page, int x, int y) {
    if (!page || !page->pixels || x < 0 || y < 0 || x >= page->width || y >= page->height) return -1;
    return page->pixels[static_cast<size_t>(y) * page->width + x];
}

namespace {

// 1 ink, 0 background, −1 unknown (another colour drew over the text there).
int ink(const ImageSurface* page, int x, int y, int colour) {
    int p = app_pixel(page, x, y);
    if (p == 0) return 0;
    if (colour < 0 || p == colour) return 1;
    return -1;
}

}  // namespace

std::string app_text(const ImageSurface* page, int row, int column, int count, int colour) {
    std::string out;
    static const int kExtra[] = {27, 219};
    for (int c = column; c < column + count; ++c) {
        const int x0 = (c - 1) * 8, y0 = (row - 1) * 16;
        int best = -1, best_miss = 1 << 30;
        auto score = [&](int code) {
            const uint8_t* g = txt_font_8x16 + code * 128;
            int miss = 0;
            for (int r = 0; r < 16; ++r)
                for (int k = 0; k < 8; ++k) {
                    int v = ink(page, x0 + k, y0 + r, colour);
                    if (v >= 0 && v != (g[r * 8 + k] != 0 ? 1 : 0)) ++miss;
                }
            if (miss < best_miss) {
                best_miss = miss;
                best = code;
            }
        };
        for (int code = 32; code < 127; ++code) score(code);
        for (int code : kExtra) score(code);
        out.push_back(best_miss <= 6 ? static_cast<char>(best) : '?');
    }
    return out;
}

int app_cell_colour(const ImageSurface* page, int row, int column) {
    int counts[256] = {};
    for (int r = 0; r < 16; ++r)
        for (int k = 0; k < 8; ++k) {
            int p = app_pixel(page, (column - 1) * 8 + k, (row - 1) * 16 + r);
            if (p > 0 && p < 256) ++counts[p];
        }
    int best = 0;
    for (int i = 1; i < 256; ++i)
        if (counts[i] > counts[best]) best = i;
    return counts[best] > 0 ? best : 0;
}

bool app_file_exists(const std::string& name) { return std::filesystem::exists(g_folder / name); }

std::vector<std::string> app_temp_files() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(g_folder))
        if (e.path().extension() == ".tmp") names.push_back(e.path().filename().string());
    return names;
}

std::vector<std::string> app_file_lines(const std::string& name) {
    std::ifstream in(g_folder / name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string all = ss.str(), line;
    std::vector<std::string> lines;
    for (char ch : all) {
        if (ch == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(ch);
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}
