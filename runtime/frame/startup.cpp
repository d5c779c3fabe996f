#include "runtime/frame/startup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/arena.h"
#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/display/display.h"
#include "runtime/files/file_safe.h"
#include "runtime/files/files.h"
#include "runtime/frame/line_input.h"
#include "runtime/frame/options.h"
#include "runtime/frame/state_choice.h"
#include "runtime/frame/threads.h"
#include "runtime/gfx/image.h"
#include "runtime/gfx/text_output.h"
#include "runtime/input/input.h"
#include "runtime/record/record.h"
#include "runtime/text/random_timer.h"
#include "runtime/text/string_value.h"

int (*frame_options_check)(FILE* err) = nullptr;
int (*frame_options_taken)() = nullptr;
std::string frame_command_line_text;
std::string frame_start_dir;

namespace {

// Built-in key-trap codes: F1..F10, the arrows with their keypad twins, F11, F12.
struct KeyTrap {
    int32_t code = 0, alternate = 0;
};
KeyTrap g_key_traps[32];

void init_key_traps() {
    for (int i = 1; i <= 10; ++i) g_key_traps[i].code = 0x3B00 + (i - 1) * 256;
    g_key_traps[11] = {0x4800, 100264};
    g_key_traps[12] = {0x4B00, 100260};
    g_key_traps[13] = {0x4D00, 100262};
    g_key_traps[14] = {0x5000, 100258};
    g_key_traps[30].code = 0x8500;
    g_key_traps[31].code = 0x8600;
}

#ifndef KAVARO_INSTALL_MARKER
#define KAVARO_INSTALL_MARKER "../share/kavaro/installed"
#endif

const char kStateFile[] = "kavaro.dat";

// Paths on the command line are the user's, relative to the folder the program was started in.
std::string from_start_dir(const std::string& path) {
    if (path.empty() || path[0] == '/' || frame_start_dir.empty()) return path;
    return frame_start_dir + "/" + path;
}

// The recording gets its queued frames written before the process ends.
void finish_recording() { record_finish(1500, stderr); }

void start_recording() {
    RecordSettings s;
    const std::string asked = from_start_dir(frame_options.record_dir);
    const RecordKind kind = asked.empty() ? RECORD_FOLDER : record_kind_of(asked);
    if (kind > RECORD_FOLDER) {
        s.kind = kind;
        s.video = frame_options.record_target.empty() ? asked : frame_options.record_target;
        s.video_asked = asked;
        s.fps = frame_options.record_fps;
    } else {
        s.dir = asked;
    }
    s.limit = frame_options.record_limit;
    s.snapshot = from_start_dir(frame_options.snapshot_file);
    s.snapshot_after = frame_options.snapshot_after;
    s.snapshot_frame = frame_options.snapshot_frame;
    s.all_frames = frame_options.all_frames;
    if (record_start(s, stderr)) frame_platform.before_exit = finish_recording;
}

bool mkdir_p(const std::string& path) {
    std::string cur;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || (path[i] == '/' && i > 0)) {
            cur = path.substr(0, i);
            // Private, as the user's data folders are.
            if (mkdir(cur.c_str(), 0700) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

bool is_regular_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A data folder, created when missing, that a file can be written in; else the reason joins `why`.
bool usable_data_folder(const std::string& dir, std::string& why) {
    if (mkdir_p(dir) && frame_folder_writable(dir)) return true;
    why += "; " + dir + ": " + std::strerror(errno);
    return false;
}

// $XDG_DATA_HOME/kavaro, else ~/.local/share/kavaro. Only absolute values count: a relative or
// empty one is ignored. Empty when neither folder can be created and written; the reasons are
// in `why`.
std::string data_folder(std::string& why, FILE* err) {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string tried;
    if (xdg && xdg[0] == '/') {
        std::string dir = std::string(xdg) + "/kavaro";
        if (usable_data_folder(dir, why)) return dir;
        tried = dir;
    } else if (xdg && *xdg) {
        why += "; XDG_DATA_HOME is not an absolute path";
    }
    if (home && home[0] == '/') {
        std::string dir = std::string(home) + "/.local/share/kavaro";
        if (usable_data_folder(dir, why)) {
            if (!tried.empty())
                std::fprintf(err, "kavaro: cannot use the folder %s; the state lives in %s instead\n",
                             tried.c_str(), dir.c_str());
            return dir;
        }
    } else {
        why += home && *home ? "; HOME is not an absolute path" : "; HOME is not set";
    }
    return "";
}

// Copies the open file `in` under a new temporary name beside `to` and puts it in place; 0, or
// the errno of the step that failed (nothing left).
int copy_file(int in, const std::string& to) {
    std::string tmp;
    int out = file_temp_create(to, tmp, 0666);
    if (out < 0) return errno;
    int error = 0;
    char buf[65536];
    for (;;) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) error = errno;
            break;
        }
        for (ssize_t done = 0; done < n && !error;) {
            ssize_t w = write(out, buf + done, size_t(n - done));
            if (w < 0 && errno != EINTR) error = errno;
            if (w > 0) done += w;
        }
        if (error) break;
    }
    if (error) {
        file_temp_discard(out, tmp);
        return error;
    }
    return file_temp_commit(out, tmp, to, nullptr);
}

// The first start that keeps its state in the data folder begins from the state file left in
// the program's folder, if there is one. Copied under a temporary name and renamed, so an
// interrupted copy never passes for a state file.
void adopt_state_file(const std::string& from_dir, const std::string& to_dir, FILE* err) {
    std::string from = from_dir + "/" + kStateFile, to = to_dir + "/" + kStateFile;
    struct stat st;
    if (lstat(to.c_str(), &st) == 0 || errno != ENOENT) return;  // the data folder has its own
    // Only a plain file is a state file (a pipe or a device would never end): anything else is
    // not even opened.
    int error = stat(from.c_str(), &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : -1;
    if (error == ENOENT) return;
    int in = error ? -1 : open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (!error && in < 0) error = errno;
    if (!error && (fstat(in, &st) != 0 || !S_ISREG(st.st_mode))) error = -1;
    if (!error) error = copy_file(in, to);
    if (in >= 0) close(in);
    if (error)
        std::fprintf(err, "kavaro: cannot copy %s: %s; the state now lives in %s\n", from.c_str(),
                     error < 0 ? "not a plain file" : std::strerror(error), to.c_str());
    else
        std::fprintf(err, "kavaro: %s cannot be written; the state now lives in %s (copied from %s)\n",
                     from_dir.c_str(), to.c_str(), from.c_str());
}

}  // namespace

const char frame_install_marker[] = KAVARO_INSTALL_MARKER;

std::string frame_program_folder(const std::string& exe_path) {
    std::string prog;
    size_t cut = exe_path.find_last_of("\\/:");
    if (cut != std::string::npos) prog = exe_path[cut] == ':' ? exe_path.substr(0, cut + 1) : exe_path.substr(0, cut);
    if (cut == 0) prog = "/";
    return prog;
}

bool frame_installed(const std::string& prog) {
    return !prog.empty() && is_regular_file(prog + "/" + frame_install_marker);
}

std::string frame_choose_working_dir(const std::string& exe_path, FILE* err, bool adopt) {
    std::string prog = frame_program_folder(exe_path);
    // An installed program keeps its state with the user, never in the system's folders.
    bool installed = frame_installed(prog);
    if (!prog.empty() && !installed && frame_folder_writable(prog) && chdir(prog.c_str()) == 0) return prog;

    std::string why = prog.empty() ? "" : "; " + prog + (installed ? " holds an installed program" : " cannot be written");
    std::string dir = data_folder(why, err);
    if (!dir.empty() && chdir(dir.c_str()) != 0) {
        why += "; " + dir + ": " + std::strerror(errno);
        dir.clear();
    }
    if (dir.empty()) {
        std::fprintf(err,
                     "kavaro: no folder can keep the state file %s (%s); set XDG_DATA_HOME or HOME to a folder "
                     "that can be written\n",
                     kStateFile, why.empty() ? "no folder to try" : why.c_str() + 2);
        return "";
    }
    if (adopt && !installed && !prog.empty() && prog != dir) adopt_state_file(prog, dir, err);
    return dir;
}

std::string frame_command_line(int argc, char** argv) {
    std::string s;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) s += ' ';
        s += argv[i];
    }
    return s;
}

void frame_init_runtime() {
    init_key_traps();
    input_init();
    gfx_init();
    frame_arena_init();
    std::memset(frame_low_memory.bytes, 0, sizeof frame_low_memory.bytes);
    input_reset_ring();
    sv_init();
    frame_platform.close_all_files = file_close_all;
    frame_platform.discard_unfinished = file_temp_remove_unfinished;
    // The window calls up to the recorder only through these.
    disp_hooks.frame_shown = record_presented;
    disp_hooks.keep_indices = record_wants_indices;
    gfx_hooks.page_shown = record_page_shown;
}

int frame_take_state_options(const std::string& exe_path, FILE* out, FILE* err) {
    FrameOptions& o = frame_options;
    if (o.list_presets || !o.preset.empty()) {
        const std::string prog = frame_program_folder(exe_path);
        const std::string dir = frame_preset_dir(prog, frame_installed(prog));
        if (o.list_presets) {
            for (const std::string& name : frame_preset_names(dir)) std::fprintf(out, "%s\n", name.c_str());
            return 0;
        }
        o.preset_file = frame_preset_file(dir, o.preset);
        if (o.preset_file.empty()) {
            std::fprintf(err, "kavaro: there is no preset \"%s\" (kavaro --list-presets names them)\n",
                         o.preset.c_str());
            return 2;
        }
    }
    if (!o.code_file.empty()) o.code_file = from_start_dir(o.code_file);
    if (!o.state_file.empty()) {
        o.state_file = from_start_dir(o.state_file);
        std::string why = frame_state_file_problem(o.state_file);
        if (!why.empty()) {
            std::fprintf(err, "kavaro: cannot use the state file %s: %s\n", o.state_file.c_str(), why.c_str());
            return 2;
        }
    }
    return -1;
}

int frame_take_record_option(FILE* err) {
    FrameOptions& o = frame_options;
    if (o.record_dir.empty() || o.record_limit == 0) return -1;
    std::string use, note, why;
    if (!record_check_target(from_start_dir(o.record_dir), use, note, why)) {
        std::fprintf(err, "kavaro: %s\n", why.c_str());
        return 2;
    }
    if (!note.empty()) std::fprintf(err, "kavaro: %s\n", note.c_str());
    o.record_target = use;
    return -1;
}

int frame_main(int argc, char** argv, void (*main_routine)()) {
    // --help, --version and bad option values end here, before any window or file.
    int status = frame_parse_options(argc, argv, frame_options, stdout, stderr);
    if (status >= 0) return frame_platform_ended(status);
    frame_resolve_lang(frame_options, std::getenv("KAVARO_LANG"), stderr);
    frame_set_program_routine(main_routine);
    frame_init_runtime();

    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) frame_start_dir = cwd;
    const std::string exe = frame_platform_program_path();
    // --list-presets, an unknown preset and a state file that cannot serve end here.
    status = frame_take_state_options(exe, stdout, stderr);
    // ... and so do the application's own refusals (a damaged --swarm code).
    if (status < 0 && frame_options_check) status = frame_options_check(stderr);
    // A --record name that could never be written ends here too.
    if (status < 0) status = frame_take_record_option(stderr);
    if (status >= 0) return frame_platform_ended(status);
    return frame_platform_run(argc, argv, exe);
}

int frame_settle_state_folder(const std::string& exe) {
    // No state folder, no run: nothing may be written anywhere else. A state file of the
    // user's own choice leaves the usual one alone.
    if (frame_choose_working_dir(exe, stderr, frame_options.state_file.empty()).empty()) return 1;
    frame_command_line_text = frame_options.rest;
    if (frame_options_taken) {
        const int status = frame_options_taken();
        if (status >= 0) return status;
    }
    timer_capture_base();
    return -1;
}

void frame_start_program() {
    start_recording();
    input_initial_lock_state();
    input_reset_ring();

    gfx_init_screen();
    for (int32_t side : {16, 32}) {
        if (ImageSurface* img = gfx_image(gfx_image_new_owned(side, side, 32))) img->flags |= IMAGE_SYSTEM;
    }

    if (!frame_platform.message_box) frame_platform.message_box = disp_message_box;
    frame_threads.build_frame = disp_build_frame;
    frame_threads.sync_lock_keys = input_sync_lock_keys;
    file_screen_print = txt_print;
    rnd_prompt_print = txt_print;
    rnd_prompt_read_line = frame_line_input;
    disp_set_window_expected(1);
    frame_start_threads();
}
