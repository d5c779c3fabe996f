// Where the state file lives: each case runs in a child process as an ordinary user (nobody when
// the tests run as root), so that a read-only folder is read-only for it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/frame/options.h"
#include "runtime/frame/state_choice.h"
#include "runtime/frame/startup.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// Device: a character device node (made here, root only). PipeBeside: a file, and a FIFO where
// older programs put their temporary copy in the data folder.
enum class ProgState { None, File, Fifo, Device, PipeBeside };

struct Case {
    const char* name;
    bool prog_writable;
    bool installed;           // the marker beside the program's folder
    ProgState prog_state;     // what "kavaro.dat" is in the program's folder
    bool data_has_state;      // ~/.local/share/kavaro/kavaro.dat exists already
    const char* xdg;          // nullptr: unset; "@" stands for the test's root folder
    const char* home;         // likewise
    const char* expect_dir;   // "" for no folder at all
    const char* expect_err;   // a piece of standard error ("" for none at all)
    const char* state = nullptr;  // --state FILE (relative to the test's root folder)
    int expect_status = -1;       // of the --state check: -1 go on, 2 refused
};

const Case kCases[] = {
    {"build folder", true, false, ProgState::File, false, nullptr, "@/home", "@/prog", ""},
    {"installed", true, true, ProgState::None, false, nullptr, "@/home", "@/home/.local/share/kavaro", ""},
    {"installed, XDG", true, true, ProgState::None, false, "@/xdg", "@/home", "@/xdg/kavaro", ""},
    {"read-only, first start copies", false, false, ProgState::File, false, nullptr, "@/home",
     "@/home/.local/share/kavaro", "the state now lives in @/home/.local/share/kavaro/kavaro.dat (copied from"},
    {"read-only, own state kept", false, false, ProgState::File, true, nullptr, "@/home",
     "@/home/.local/share/kavaro", ""},
    {"read-only, nothing to copy", false, false, ProgState::None, false, nullptr, "@/home",
     "@/home/.local/share/kavaro", ""},
    {"read-only, a pipe is not copied", false, false, ProgState::Fifo, false, nullptr, "@/home",
     "@/home/.local/share/kavaro", "cannot copy @/prog/kavaro.dat: not a plain file"},
    {"read-only, a device is not copied", false, false, ProgState::Device, false, nullptr, "@/home",
     "@/home/.local/share/kavaro", "cannot copy @/prog/kavaro.dat: not a plain file"},
    {"read-only, copied beside a pipe", false, false, ProgState::PipeBeside, false, nullptr, "@/home",
     "@/home/.local/share/kavaro", "the state now lives in @/home/.local/share/kavaro/kavaro.dat (copied from"},
    {"relative XDG ignored", false, false, ProgState::None, false, "rel/data", "@/home",
     "@/home/.local/share/kavaro", ""},
    {"empty XDG ignored", false, false, ProgState::None, false, "", "@/home", "@/home/.local/share/kavaro", ""},
    {"uncreatable XDG", false, false, ProgState::None, false, "@/file/x", "@/home",
     "@/home/.local/share/kavaro", "cannot use the folder @/file/x/kavaro"},
    {"unwritable XDG, no HOME", false, false, ProgState::File, false, "@/locked", nullptr, "",
     "no folder can keep the state file kavaro.dat"},
    {"no XDG, relative HOME", false, true, ProgState::None, false, nullptr, "home", "", "HOME is not an absolute"},
    {"no XDG, empty HOME", false, false, ProgState::None, false, nullptr, "", "", "HOME is not set"},
    {"unwritable HOME", false, false, ProgState::None, false, "", "@/locked", "", "@/locked/.local/share/kavaro"},
    // --state FILE: checked before anything else, relative to the start folder; the usual state
    // file is neither copied nor touched.
    {"--state, read-only program folder, no copy", false, false, ProgState::File, false, nullptr, "@/home",
     "@/home/.local/share/kavaro", "", "home/mine.dat"},
    {"--state a folder", true, false, ProgState::File, false, nullptr, "@/home", "",
     "cannot use the state file @/xdg: it is a folder", "@/xdg", 2},
    {"--state a pipe", true, false, ProgState::Fifo, false, nullptr, "@/home", "",
     "cannot use the state file @/prog/kavaro.dat: it is not a plain file", "prog/kavaro.dat", 2},
    {"--state unreadable", true, false, ProgState::File, false, nullptr, "@/home", "",
     "cannot use the state file @/secret.dat: it cannot be read: Permission denied", "secret.dat", 2},
    {"--state in a read-only folder", true, false, ProgState::File, false, nullptr, "@/home", "",
     "cannot use the state file @/locked/mine.dat: its folder @/locked cannot be written", "locked/mine.dat", 2},
    {"--state in a missing folder", true, false, ProgState::File, false, nullptr, "@/home", "",
     "its folder @/nope cannot be written: No such file or directory", "@/nope/mine.dat", 2},
};

std::string expand(const std::string& s, const std::string& root) {
    std::string r;
    for (char c : s) r += c == '@' ? root : std::string(1, c);
    return r;
}

std::set<std::string> tree(const fs::path& root) {
    std::set<std::string> names;
    for (auto& e : fs::recursive_directory_iterator(root)) names.insert(e.path().string());
    return names;
}

std::string read_file(const fs::path& p) {
    std::ifstream f(p);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class WorkingDirCase : public ::testing::TestWithParam<Case> {};

TEST_P(WorkingDirCase, StateFolderAndMessage) {
    const Case& c = GetParam();
    const uid_t user = getuid() == 0 ? kNobody : getuid();
    char templ[] = "/tmp/kavaro-wd-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    const fs::path root = templ;
    chmod(templ, 0755);
    auto own = [&](const fs::path& p) { ASSERT_EQ(chown(p.c_str(), user, user), 0); };
    fs::create_directories(root / "prog");
    fs::create_directories(root / "home/.local/share/kavaro");
    fs::create_directories(root / "xdg");
    fs::create_directories(root / "locked");
    for (auto d : {"home", "home/.local", "home/.local/share", "home/.local/share/kavaro", "xdg", "prog"})
        own(root / d);
    std::ofstream(root / "file") << "a file, not a folder\n";
    std::ofstream(root / "secret.dat") << " 1 \n";
    chmod((root / "secret.dat").c_str(), 0200);
    if (c.installed) {
        fs::create_directories(root / "prog" / fs::path(frame_install_marker).parent_path());
        std::ofstream(root / "prog" / frame_install_marker) << "installed\n";
    }
    if (c.prog_state == ProgState::File || c.prog_state == ProgState::PipeBeside)
        std::ofstream(root / "prog/kavaro.dat") << " 3 \n 1 \n";
    if (c.prog_state == ProgState::PipeBeside) {
        ASSERT_EQ(mkfifo((root / "home/.local/share/kavaro/kavaro.tmp").c_str(), 0666), 0);
    }
    if (c.prog_state == ProgState::Device &&
        mknod((root / "prog/kavaro.dat").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
        fs::remove_all(root);
        GTEST_SKIP() << "device nodes need root";
    }
    if (c.prog_state == ProgState::Fifo) {
        ASSERT_EQ(mkfifo((root / "prog/kavaro.dat").c_str(), 0644), 0);
    }
    if (c.data_has_state) std::ofstream(root / "home/.local/share/kavaro/kavaro.dat") << " 7 \n";
    chmod((root / "locked").c_str(), 0555);
    if (!c.prog_writable) chmod((root / "prog").c_str(), 0555);
    const std::set<std::string> before = tree(root);

    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(out[0]);
        if (getuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(3);
        if (chdir(root.c_str()) != 0) _exit(4);
        auto env = [&](const char* name, const char* v) {
            if (v) setenv(name, expand(v, root.string()).c_str(), 1);
            else unsetenv(name);
        };
        env("XDG_DATA_HOME", c.xdg);
        env("HOME", c.home);
        char* err_text = nullptr;
        size_t err_size = 0;
        FILE* err = open_memstream(&err_text, &err_size);
        const std::string exe = (root / "prog/kavaro").string();
        frame_start_dir = root.string();
        frame_options = FrameOptions{};
        if (c.state) frame_options.state_file = expand(c.state, root.string());
        const int status = frame_take_state_options(exe, err, err);
        std::string dir = status < 0 ? frame_choose_working_dir(exe, err, !c.state) : "";
        std::fclose(err);
        char cwd[4096] = "";
        if (!getcwd(cwd, sizeof cwd)) cwd[0] = '\0';
        std::string report = std::to_string(status) + '\n' + dir + '\n' + cwd + '\n' + err_text;
        if (write(out[1], report.data(), report.size()) != ssize_t(report.size())) _exit(5);
        _exit(0);
    }
    close(out[1]);
    std::string report;
    char buf[4096];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) report.append(buf, size_t(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    const size_t at = report.find('\n');
    EXPECT_EQ(std::atoi(report.c_str()), c.expect_status) << c.name;
    report = report.substr(at + 1);
    size_t a = report.find('\n'), b = report.find('\n', a + 1);
    const std::string dir = report.substr(0, a), cwd = report.substr(a + 1, b - a - 1), err = report.substr(b + 1);
    const std::string expect_dir = expand(c.expect_dir, root.string());
    EXPECT_EQ(dir, expect_dir) << c.name;
    EXPECT_EQ(cwd, expect_dir.empty() ? root.string() : expect_dir) << c.name;
    if (*c.expect_err) {
        EXPECT_NE(err.find(expand(c.expect_err, root.string())), std::string::npos) << c.name << ": " << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << c.name << ": one line, not " << err;
    } else {
        EXPECT_EQ(err, "") << c.name;
    }

    // What was written: the data folder, the copied state file and nothing else, anywhere.
    std::set<std::string> after = tree(root);
    if (!before.count(expect_dir)) after.erase(expect_dir);
    const fs::path copied = root / "home/.local/share/kavaro/kavaro.dat";
    bool copies = !c.state && !c.data_has_state &&
                  (c.prog_state == ProgState::File || c.prog_state == ProgState::PipeBeside) &&
                  expect_dir == copied.parent_path().string();
    if (copies) {
        EXPECT_EQ(read_file(copied), " 3 \n 1 \n") << c.name;
        after.erase(copied.string());
    }
    EXPECT_EQ(after, before) << c.name;
    struct stat st {};
    if (c.prog_state == ProgState::Device) {
        EXPECT_EQ(lstat((root / "prog/kavaro.dat").c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 7)) << "the node is left as it was";
    }
    if (c.prog_state == ProgState::PipeBeside) {
        EXPECT_EQ(lstat((root / "home/.local/share/kavaro/kavaro.tmp").c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the pipe is left as it was";
    }
    if (c.data_has_state) {
        EXPECT_EQ(read_file(copied), " 7 \n") << c.name;
    }

    chmod((root / "prog").c_str(), 0755);
    fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(Cases, WorkingDirCase, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string n;
    for (const char* p = info.param.name; *p; ++p) n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return n;
});

// Presets are NAME.dat files with plain lower-case names, in the installed data folder or, for a
// program that is not installed, in the source tree, which ships six to ten.
TEST(Presets, NamesFilesAndFolders) {
    char templ[] = "/tmp/kavaro-presets-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    const fs::path root = templ, dir = root / "share/kavaro/presets";
    fs::create_directories(dir);
    fs::create_directories(root / "bin");
    for (const char* f : {"dance.dat", "a-b2.dat", "Upper.dat", "-x.dat", "notes.txt", ".dat"}) std::ofstream(dir / f) << " 1 \n";
    fs::create_directory(dir / "dir.dat");
    EXPECT_EQ(frame_preset_dir((root / "bin").string(), true), (root / "bin/../share/kavaro/presets").string());
    const std::string d = frame_preset_dir((root / "bin").string(), true);
    EXPECT_EQ(frame_preset_names(d), (std::vector<std::string>{"a-b2", "dance"}));
    EXPECT_EQ(frame_preset_file(d, "dance"), d + "/dance.dat");
    for (const char* bad : {"Upper", "-x", "dir", "notes", "../presets/dance", "", "gone"})
        EXPECT_EQ(frame_preset_file(d, bad), "") << bad;
    EXPECT_EQ(frame_preset_dir((root / "nowhere").string(), true), "");
    fs::remove_all(root);

    const std::vector<std::string> shipped = frame_preset_names(frame_preset_dir("/nowhere", false));
    EXPECT_GE(shipped.size(), 6u);
    EXPECT_LE(shipped.size(), 10u);
}

}  // namespace
