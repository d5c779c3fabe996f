// Whatever lies in the program's folder as "kavaro.dat": per kind, the dialogs shown before the
// program is usable (at most one per kind of error), what Yes and No do, and that the file is
// left as it was unless the user saved. Kinds that need an ordinary user skip as root and run in
// the copy of this test started as the nobody user (and the other way round for a mount).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/sim_saved_state.h"
#include "app/sim_state.h"
#include "app_support.h"

namespace {

namespace fs = std::filesystem;

// What a folder entry is: its type, mode and bytes (regular files) or link text.
struct Entry {
    std::string type, bytes;
    unsigned mode = 0;
    bool operator==(const Entry&) const = default;
};

Entry describe(const std::string& path) {
    Entry e;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return {"none", "", 0};
    e.mode = st.st_mode & 07777;
    if (S_ISREG(st.st_mode)) {
        e.type = "file";
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        e.bytes = ss.str();
    } else if (S_ISLNK(st.st_mode)) {
        e.type = "link";
        e.bytes = fs::read_symlink(path).string();
    } else if (S_ISDIR(st.st_mode)) {
        e.type = "folder";
    } else if (S_ISFIFO(st.st_mode)) {
        e.type = "fifo";
    } else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        e.type = S_ISCHR(st.st_mode) ? "char device" : "block device";
        e.bytes = std::to_string(st.st_rdev);
    } else {
        e.type = "other";
    }
    return e;
}

// Every entry under a folder (links not followed), by relative name.
using Listing = std::map<std::string, Entry>;
Listing listing(const std::string& dir) {
    Listing l;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        l[e.path().lexically_relative(dir).string()] = describe(e.path().string());
    return l;
}

// The names that differ between two listings ("" when none).
std::string changed(const Listing& a, const Listing& b) {
    std::string out;
    for (const auto& [name, e] : a)
        if (!b.count(name) || !(b.at(name) == e)) out += " " + name;
    for (const auto& [name, e] : b)
        if (!a.count(name)) out += " +" + name;
    return out;
}

// A temporary file that another program is writing: locked for as long as the test holds it.
int g_held_fd = -1;

void write(const std::string& path, const std::string& bytes, unsigned mode = 0644) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    chmod(path.c_str(), mode);
}

// The factory file, as the first start writes it.
const std::string& factory() {
    static std::string bytes;
    if (bytes.empty()) {
        app_prepare();
        app_start();
        app_stop();
        bytes = describe(app_folder() + "/kavaro.dat").bytes;
        app_finish();
    }
    return bytes;
}

std::vector<std::string> factory_lines() {
    std::vector<std::string> lines;
    const std::string& f = factory();
    for (size_t at = 0; at < f.size();) {
        size_t end = f.find("\r\n", at);
        lines.push_back(f.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

std::string join(const std::vector<std::string>& lines, const char* end = "\r\n") {
    std::string out;
    for (const auto& l : lines) out += l + end;
    return out;
}

// The factory file with lines replaced (1-based).
std::string patched(std::map<int, std::string> changes) {
    auto lines = factory_lines();
    for (auto& [n, text] : changes) lines[static_cast<size_t>(n - 1)] = text;
    return join(lines);
}

constexpr int value_line(int row) { return 10 * row + 2 + 1; }
constexpr int kColour0 = value_line(0), kCount0 = value_line(40), kRule00 = value_line(80),
              kSpecies = value_line(1700);

int lines_of(const std::string& path) {
    const std::string bytes = describe(path).bytes;
    return static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n'));
}

enum Need { ANYONE, ROOT, ORDINARY };

struct Kind {
    const char* name;
    // Lays out the working folder (the current folder) before the start.
    std::function<void(const std::string& dir)> make;
    // Dialog error numbers with Yes, in order; -1 alone: any, at most one of each number.
    std::vector<int> errors;
    Need need = ANYONE;
    // A key the user presses once the program is usable, and the dialogs it gives.
    int key = 0;
    std::vector<int> key_errors = {};
    // Checks the folder after the run; unset: "kavaro.dat" is exactly as before the start.
    std::function<void(const std::string& dir, const Entry& before)> after = nullptr;
};

int error_number(const AppDialog& d) {
    size_t hash = d.caption.find('#');
    return hash == std::string::npos ? -1 : std::atoi(d.caption.c_str() + hash + 1);
}

std::vector<int> dialog_numbers() {
    std::vector<int> n;
    for (const auto& d : app_dialogs) n.push_back(error_number(d));
    return n;
}

void is_factory(const std::string& path) {
    EXPECT_EQ(describe(path).bytes, factory()) << path << " holds the factory state";
}

std::string repeated(const std::string& line, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += line;
    return out;
}

std::string first_lines(int n) {
    auto lines = factory_lines();
    lines.resize(static_cast<size_t>(n));
    return join(lines);
}

std::string random_bytes(size_t n) {
    std::mt19937 gen(13);
    std::string out(n, '\0');
    for (auto& c : out) c = static_cast<char>(gen());
    return out;
}

const std::vector<Kind>& kinds() {
    static const std::vector<Kind> k = {
        {"missing", [](const std::string&) {}, {}, ANYONE, 0, {},
         [](const std::string& d, const Entry&) { is_factory(d + "/kavaro.dat"); }},
        {"empty", [](const std::string&) { write("kavaro.dat", ""); }, {62}},
        {"short", [](const std::string&) { write("kavaro.dat", first_lines(95)); }, {62}},
        {"cut mid-line",
         [](const std::string&) { write("kavaro.dat", factory().substr(0, factory().size() / 2 + 1)); },
         {62}},
        {"last line without its end",
         [](const std::string&) { write("kavaro.dat", factory().substr(0, factory().size() - 2)); },
         {}},
        {"binary", [](const std::string&) { write("kavaro.dat", random_bytes(70000)); }, {-1}},
        {"zero bytes", [](const std::string&) { write("kavaro.dat", std::string(70000, '\0')); }, {62}},
        {"1E+300 on every line",
         [](const std::string&) { write("kavaro.dat", repeated(" 1E+300 \r\n", 17018)); }, {6}},
        {"overflowing colour", [](const std::string&) { write("kavaro.dat", patched({{kColour0, " 1E39 "}})); },
         {6}},
        {"hex overflow",
         [](const std::string&) { write("kavaro.dat", patched({{kRule00, "&HFFFFFFFFFFFFFFFFF"}})); }, {6}},
        {"a line of a million digits",
         [](const std::string&) { write("kavaro.dat", patched({{17014, std::string(1000000, '7')}})); },
         {6}},
        {"colours 99, 16 and -1",
         [](const std::string&) {
             write("kavaro.dat",
                   patched({{kColour0, " 99 "}, {value_line(1), " 16 "}, {value_line(2), "-1 "}}));
         },
         {5}},
        {"species number 50", [](const std::string&) { write("kavaro.dat", patched({{kSpecies, " 50 "}})); },
         {5}},
        {"species number -5", [](const std::string&) { write("kavaro.dat", patched({{kSpecies, "-5 "}})); },
         {5}},
        {"rules 7 and -3",
         [](const std::string&) {
             write("kavaro.dat", patched({{kRule00, " 7 "}, {value_line(81), "-3 "}}));
         },
         {5}},
        {"counts 1E30, -5, 0 and 750",
         [](const std::string&) {
             write("kavaro.dat", patched({{kCount0, " 1E30 "},
                                          {value_line(41), "-5 "},
                                          {value_line(42), " 0 "},
                                          {value_line(43), " 750 "}}));
         },
         {}},
        {"parameters far out of range",
         [](const std::string&) {
             write("kavaro.dat", patched({{17011, " 7 "},
                                          {17012, " 1E30 "},
                                          {17013, "-9 "},
                                          {17014, "-1E30 "},
                                          {17015, " 1E30 "},
                                          {17016, " 1E30 "},
                                          {17017, " 1E30 "},
                                          {17018, " 3E38 "}}));
         },
         {}},
        {"extra fields on one line",
         [](const std::string&) { write("kavaro.dat", patched({{kColour0, " 5 , 99 , 7 "}})); }, {5}},
        {"extra fields on every line",
         [](const std::string&) {
             auto lines = factory_lines();
             for (auto& l : lines) l += ", 99, -1E30";
             write("kavaro.dat", join(lines));
         },
         {5}},
        {"text on every line", [](const std::string&) { write("kavaro.dat", repeated("abc\r\n", 17018)); },
         {5}},
        {"not-a-number texts",
         [](const std::string&) {
             write("kavaro.dat", patched({{kCount0, "NaN"}, {17014, " inf "}, {kRule00, "nan(1)"}}));
         },
         {}},
        {"line ends CR only", [](const std::string&) { write("kavaro.dat", join(factory_lines(), "\r")); }, {}},
        {"line ends LF only", [](const std::string&) { write("kavaro.dat", join(factory_lines(), "\n")); }, {}},
        {"end-of-file byte inside",
         [](const std::string&) { write("kavaro.dat", patched({{5000, std::string(" 0\x1a 0 ")}})); }, {62}},
        {"more lines than the state",
         [](const std::string&) { write("kavaro.dat", factory() + repeated(" 3 \r\n", 500)); }, {}},
        {"partial temporary file of a killed save",
         [](const std::string&) {
             write("kavaro.dat", factory());
             write("kavaro.dat.Ab12Cd.tmp", first_lines(4000));
             // An older program's, untouched for an hour.
             write("kavaro.tmp", first_lines(4000));
             struct timespec old[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
             utimensat(AT_FDCWD, "kavaro.tmp", old, 0);
         },
         {}, ANYONE, 0, {},
         [](const std::string& d, const Entry& before) {
             EXPECT_EQ(describe(d + "/kavaro.dat"), before);
             EXPECT_EQ(describe(d + "/kavaro.dat.Ab12Cd.tmp").type, "none");
             EXPECT_EQ(describe(d + "/kavaro.tmp").type, "none");
         }},
        {"temporary files another program is writing",
         [](const std::string&) {
             write("kavaro.dat", factory());
             write("kavaro.dat.Zz9Yy8.tmp", first_lines(4000));
             g_held_fd = open("kavaro.dat.Zz9Yy8.tmp", O_RDONLY | O_CLOEXEC);
             ASSERT_EQ(flock(g_held_fd, LOCK_EX), 0);
             write("kavaro.tmp", first_lines(4000));  // an older program's, being written now
         },
         {}, ANYONE, 0, {},
         [](const std::string& d, const Entry& before) {
             close(g_held_fd);
             EXPECT_EQ(describe(d + "/kavaro.dat"), before);
             EXPECT_TRUE(describe(d + "/kavaro.dat.Zz9Yy8.tmp").bytes == first_lines(4000)) << "left alone";
             EXPECT_TRUE(describe(d + "/kavaro.tmp").bytes == first_lines(4000)) << "left alone";
         }},
        {"a folder, then m", [](const std::string&) { fs::create_directory("kavaro.dat"); }, {53}, ANYONE,
         'm', {53}},
        {"a FIFO, then m", [](const std::string&) { ASSERT_EQ(mkfifo("kavaro.dat", 0644), 0); }, {53},
         ANYONE, 'm', {53}},
        // Neither read nor written: each node and link stays as it was, nothing else appears.
        {"a link to a device node, then m",
         [](const std::string&) {
             ASSERT_EQ(mknod("null", S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
             fs::create_symlink("null", "kavaro.dat");
         },
         {53}, ROOT, 'm', {53}},
        {"a device node, then Escape",
         [](const std::string&) {
             ASSERT_EQ(mknod("kavaro.dat", S_IFCHR | 0666, makedev(1, 7)), 0) << std::strerror(errno);
         },
         {53}, ROOT, 27, {53}},
        {"a link loop, then m",
         [](const std::string&) {
             fs::create_symlink("loop", "kavaro.dat");
             fs::create_symlink("kavaro.dat", "loop");
         },
         {53}, ANYONE, 'm', {53}},
        {"a link loop, then Escape", [](const std::string&) { fs::create_symlink("kavaro.dat", "kavaro.dat"); },
         {53}, ANYONE, 27, {53}},
        {"a link to a zero device node",
         [](const std::string&) {
             ASSERT_EQ(mknod("zero", S_IFCHR | 0666, makedev(1, 5)), 0) << std::strerror(errno);
             fs::create_symlink("zero", "kavaro.dat");
         },
         {53}, ROOT},
        {"a symbolic link, then m",
         [](const std::string&) {
             fs::create_directory("real");
             write("real/state", patched({{kRule00, "-1 "}}));
             fs::create_symlink("real/state", "kavaro.dat");
         },
         {}, ANYONE, 'm', {},
         [](const std::string& d, const Entry& before) {
             EXPECT_EQ(describe(d + "/kavaro.dat"), before) << "the link stays";
             Entry target = describe(d + "/real/state");
             EXPECT_EQ(target.type, "file");
             EXPECT_NE(target.bytes, patched({{kRule00, "-1 "}})) << "saved through the link";
             EXPECT_NE(target.bytes.find("\r\n-1 \r\n"), std::string::npos)
                 << "the rule read from it saved again";
             EXPECT_EQ(describe(d + "/kavaro.tmp").type, "none");
             EXPECT_EQ(describe(d + "/real/kavaro.tmp").type, "none");
         }},
        {"a dangling symbolic link",
         [](const std::string&) {
             fs::create_directory("real");
             fs::create_symlink("real/state", "kavaro.dat");
         },
         {}, ANYONE, 0, {},
         [](const std::string& d, const Entry& before) {
             EXPECT_EQ(describe(d + "/kavaro.dat"), before) << "the link stays";
             is_factory(d + "/real/state");
         }},
        {"an unreadable file, then m", [](const std::string&) { write("kavaro.dat", factory(), 0200); },
         {70}, ORDINARY, 'm', {70}},
        {"an unreadable file, then o", [](const std::string&) { write("kavaro.dat", factory(), 0200); },
         {70}, ORDINARY, 'o', {70}},
        {"a read-only file, then m", [](const std::string&) { write("kavaro.dat", factory(), 0444); }, {},
         ORDINARY, 'm', {70}},
        {"a read-only file, then m as root",
         [](const std::string&) { write("kavaro.dat", patched({{kRule00, "-1 "}}), 0444); }, {}, ROOT, 'm',
         {},
         [](const std::string& d, const Entry& before) {
             Entry now = describe(d + "/kavaro.dat");
             EXPECT_EQ(now.type, "file");
             EXPECT_EQ(now.mode, 0444u) << "the saved file keeps the mode";
             EXPECT_NE(now.bytes, before.bytes) << "the user saved";
         }},
        // A file the load could not read whole is copied beside itself first; the save then
        // writes the state over it, and an older copy takes a number.
        {"cut short, then Escape", [](const std::string&) { write("kavaro.dat", first_lines(95), 0640); }, {62},
         ANYONE, 27, {},
         [](const std::string& d, const Entry& before) {
             EXPECT_EQ(describe(d + "/kavaro.dat.damaged"), before) << "the copy";
             EXPECT_EQ(lines_of(d + "/kavaro.dat"), kSimSavedLines) << "the new state";
         }},
        {"cut short beside older copies, then m",
         [](const std::string&) {
             write("kavaro.dat.damaged", "older");
             write("kavaro.dat.damaged.1", "oldest");
             write("kavaro.dat", first_lines(95));
         },
         {62}, ANYONE, 'm', {},
         [](const std::string& d, const Entry& before) {
             EXPECT_EQ(describe(d + "/kavaro.dat.damaged"), before);
             EXPECT_EQ(describe(d + "/kavaro.dat.damaged.1").bytes, "oldest");
             EXPECT_EQ(describe(d + "/kavaro.dat.damaged.2").bytes, "older");
             EXPECT_EQ(describe(d + "/kavaro.dat.damaged.3").type, "none");
             EXPECT_EQ(lines_of(d + "/kavaro.dat"), kSimSavedLines) << "the new state";
         }},
        // No room for the copy (a save would fit): the file is then never written over.
        {"a full disk: a damaged file with no room for its copy, then m",
         [](const std::string& d) {
             ASSERT_EQ(mount("kavaro-test", d.c_str(), "tmpfs", 0, "size=1536k"), 0) << std::strerror(errno);
             ASSERT_EQ(chdir(d.c_str()), 0);
             write("kavaro.dat", patched({{17014, std::string(1000000, '7')}}));
         },
         {6}, ROOT, 'm', {61},
         [](const std::string& d, const Entry& before) {
             EXPECT_EQ(describe(d + "/kavaro.dat"), before);
             EXPECT_EQ(describe(d + "/kavaro.dat.damaged").type, "none");
         }},
        {"a full disk: a damaged file with no room for its copy, then o",
         [](const std::string& d) {
             ASSERT_EQ(mount("kavaro-test", d.c_str(), "tmpfs", 0, "size=1536k"), 0) << std::strerror(errno);
             ASSERT_EQ(chdir(d.c_str()), 0);
             write("kavaro.dat", patched({{17014, std::string(1000000, '7')}}));
         },
         {6}, ROOT, 'o', {61},
         [](const std::string& d, const Entry& before) { EXPECT_EQ(describe(d + "/kavaro.dat"), before); }},
        {"a full disk",
         [](const std::string& d) {
             ASSERT_EQ(mount("kavaro-test", d.c_str(), "tmpfs", 0, "size=16k"), 0) << std::strerror(errno);
             ASSERT_EQ(chdir(d.c_str()), 0);
         },
         {61}, ROOT, 0, {},
         [](const std::string& d, const Entry&) {
             EXPECT_EQ(describe(d + "/kavaro.dat").type, "none");
             EXPECT_EQ(describe(d + "/kavaro.tmp").type, "none");
         }},
    };
    return k;
}

// The load read the file and found it damaged: a copy of it is kept beside it (unless the
// disk has no room for one).
bool copied(const Kind& k) {
    if (std::string(k.name).rfind("a full disk", 0) == 0) return false;
    for (int e : k.errors)
        if (e == 62 || e == 6 || e == 5 || e == -1) return true;
    return false;
}

bool may_run(const Kind& k) {
    const bool root = geteuid() == 0;
    return k.need == ANYONE || (k.need == ROOT) == root;
}

void leave_mount(const std::string& dir) {
    if (chdir("/") == 0) umount2(dir.c_str(), MNT_DETACH);
}

// One start with every dialog answered `answer`. `elsewhere`: the state file is given as
// another folder's (--state), which holds what the kind lays out; the working folder gets
// nothing.
void run(const Kind& k, int answer, bool elsewhere = false) {
    SCOPED_TRACE(std::string(k.name) + (answer ? " (Yes)" : " (No)") + (elsewhere ? " elsewhere" : ""));
    app_prepare();
    const std::string home = app_folder(), dir = elsewhere ? home + "/elsewhere" : home;
    if (elsewhere) {
        fs::create_directory(dir);
        fs::current_path(dir);
        sim_state_path = dir + "/kavaro.dat";
    }
    k.make(dir);
    if (elsewhere) fs::current_path(home);
    if (::testing::Test::HasFatalFailure()) {
        leave_mount(dir);
        app_finish();
        return;
    }
    const Entry before = describe(dir + "/kavaro.dat");
    const Listing before_all = listing(dir);
    app_dialog_answer = answer;
    app_start();
    if (answer) {
        if (k.errors == std::vector<int>{-1}) {
            std::vector<int> seen = dialog_numbers();
            std::sort(seen.begin(), seen.end());
            EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "a kind told twice";
        } else {
            EXPECT_EQ(dialog_numbers(), k.errors);
        }
        // Usable: frames go on without another dialog, within the editor's limits.
        const size_t shown = app_dialogs.size();
        app_move(300, 470);
        EXPECT_TRUE(app_step(5));
        EXPECT_EQ(app_dialogs.size(), shown);
        EXPECT_GE(sim_species_number(), 1);
        for (int i = 0; i < sim_species_number(); ++i) {
            EXPECT_GE(sim_cells.get(i, kSimColValue), 0);
            EXPECT_LE(sim_cells.get(i, kSimColValue), 15);
        }
        if (k.key) {
            // Escape ends the run once its save is done (or refused).
            const bool ends = k.key == 27;
            app_key(k.key);
            EXPECT_EQ(app_step(3), !ends);
            const std::vector<int> all = dialog_numbers();
            const std::vector<int> more(all.begin() + static_cast<long>(shown), all.end());
            EXPECT_EQ(more, k.key_errors);
            if (ends) {
                EXPECT_TRUE(app_wait_exit(10000));
                EXPECT_EQ(app_exit_status(), 0);
            } else {
                EXPECT_TRUE(app_step(2));
            }
        }
    } else {
        EXPECT_TRUE(app_wait_exit(10000));
        EXPECT_EQ(app_exit_status(), 0);
        EXPECT_EQ(app_dialogs.size(), 1u) << "No ends the run at the first dialog";
    }
    app_stop();
    if (k.after && answer) {
        k.after(dir, before);
        // No temporary file is left behind, whatever else the kind expects.
        Listing now = listing(dir);
        for (const auto& [name, e] : now) {
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) {
                EXPECT_TRUE(before_all.count(name)) << name << " left behind";
            }
        }
    } else if (k.after && k.errors.empty()) {
        ;  // nothing asked, nothing answered
    } else {
        EXPECT_EQ(describe(dir + "/kavaro.dat"), before) << "the file is as it was";
        if (copied(k)) {
            // The copy as it was; an older copy other than it took the lowest free number.
            Listing want = before_all;
            const std::string name = "kavaro.dat.damaged";
            if (want.count(name) && !(want[name] == before)) {
                int n = 1;
                while (want.count(name + "." + std::to_string(n))) ++n;
                want[name + "." + std::to_string(n)] = want[name];
            }
            want[name] = before;
            EXPECT_EQ(changed(want, listing(dir)), "") << "a copy, and nothing else in the folder changed";
        } else {
            EXPECT_EQ(changed(before_all, listing(dir)), "") << "nothing else in the folder changed";
        }
    }
    if (elsewhere) {
        for (const char* name : {"/kavaro.dat", "/kavaro.tmp", "/kavaro.dat.damaged"})
            EXPECT_EQ(describe(home + name).type, "none") << "the usual state file is not touched";
    }
    if (k.need == ROOT && std::string(k.name).rfind("a full disk", 0) == 0) leave_mount(dir);
    app_finish();
}

TEST(DamagedFile, EveryKindIsToldOnceAndLeavesAUsableProgram) {
    factory();
    int ran = 0;
    for (const Kind& k : kinds()) {
        if (!may_run(k)) continue;
        ++ran;
        run(k, 1);
        if (!k.errors.empty() && k.errors != std::vector<int>{-1}) run(k, 0);
    }
    EXPECT_GE(kinds().size(), 25u);
    std::printf("%d of %zu kinds run as uid %d\n", ran, kinds().size(), static_cast<int>(geteuid()));
}

// The same for a state file given with --state: every safety rule holds there.
TEST(DamagedFile, TheSameInAStateFileGivenByName) {
    factory();
    for (const Kind& k : kinds()) {
        if (!may_run(k)) continue;
        run(k, 1, true);
        if (!k.errors.empty() && k.errors != std::vector<int>{-1}) run(k, 0, true);
    }
}

}  // namespace
