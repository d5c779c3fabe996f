#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/sim_cells.h"
#include "app/sim_force.h"
#include "app/sim_saved_state.h"
#include "app/sim_state.h"
#include "runtime/core/error.h"
#include "runtime/files/files.h"
#include "simcore/simcore_support.h"

namespace {

int32_t rule_row(int32_t a, int32_t b) { return kSimRowRule + 40 * a + b; }
float value(int32_t row) { return sim_cell(row, kSimColValue); }

class SavedStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        simcore_fresh_state();
        simcore_factory_start();
        factory_bytes = simcore_read_file("kavaro.dat");
        ASSERT_EQ(simcore_lines(factory_bytes).size(), 17018u);
    }
    void TearDown() override {
        sim_save_line_hook = nullptr;
        simcore_teardown();
    }

    // A fresh start-up that loads whatever file is there and runs a frame's worth of work.
    void start_and_run() {
        simcore_fresh_state_keep_dir();
        sim_load_state();
        sim_resetting = 0;
        sim_build_cells();
        sim_normalise_counts();
        sim_place_in_cube();
        sim_force_step();
        sim_force_step_reference();
    }
    // simcore_fresh_state without a new folder.
    void simcore_fresh_state_keep_dir() {
        const auto dir = std::filesystem::current_path();
        const std::string bytes = simcore_read_file("kavaro.dat");
        const bool had = simcore_file_exists("kavaro.dat");
        simcore_teardown();
        simcore_fresh_state();
        if (had) simcore_write_file("kavaro.dat", bytes);
        std::filesystem::remove_all(dir);
    }
    // The factory file with some lines replaced (1-based line numbers).
    std::string patched(std::initializer_list<std::pair<int, const char*>> changes) {
        auto lines = simcore_lines(factory_bytes);
        for (auto& [line, text] : changes) lines[static_cast<size_t>(line - 1)] = text;
        std::string out;
        for (auto& l : lines) out += l + "\r\n";
        return out;
    }
    static int line_of(int row, int col) { return 10 * row + col + 1; }

    std::string factory_bytes;
};

TEST_F(SavedStateTest, SaveChangeLoadGivesTheSavedValues) {
    sim_set_cell(kSimRowSpecies, kSimColValue, 5);
    sim_build_cells();
    sim_set_cell(kSimRowCount + 4, kSimColValue, 250);
    sim_set_cell(3, kSimColValue, 12);
    sim_set_cell(rule_row(4, 1), kSimColValue, -1);
    sim_displacement = 2;
    sim_auto_rotation = 0.05f;
    sim_max_particles = 340;
    sim_graphics_scale = 1.5f;
    sim_show_mean = 1;
    sim_save_state();
    EXPECT_TRUE(simcore_dialogs.empty());
    EXPECT_TRUE(simcore_temp_files().empty());
    const std::string saved = simcore_read_file("kavaro.dat");

    start_and_run();
    EXPECT_TRUE(simcore_dialogs.empty());
    EXPECT_EQ(value(kSimRowSpecies), 5);
    EXPECT_EQ(value(3), 12);
    EXPECT_EQ(value(rule_row(4, 1)), -1);
    EXPECT_EQ(sim_displacement, 2);
    EXPECT_EQ(sim_auto_rotation, 0.05f);
    EXPECT_EQ(sim_max_particles, 340);
    EXPECT_EQ(sim_graphics_scale, 0.8f);
    EXPECT_EQ(sim_show_mean, 0);
    EXPECT_EQ(simcore_read_file("kavaro.dat"), saved) << "loading never writes";
    // Saving what was loaded (before normalisation) gives the same bytes.
    sim_load_state();
    sim_save_state();
    EXPECT_EQ(simcore_read_file("kavaro.dat"), saved);
}

TEST_F(SavedStateTest, CountOutsideClickRangeLoadsUnchanged) {
    sim_set_cell(kSimRowCount, kSimColValue, 750);
    sim_save_state();
    simcore_fresh_state_keep_dir();
    sim_load_state();
    EXPECT_EQ(value(kSimRowCount), 750);
}

void slow_line(int32_t line) {
    if (line % 200 == 0) usleep(2000);
}

TEST_F(SavedStateTest, KilledDuringASaveLeavesThePreviousFileWhole) {
    sim_set_cell(kSimRowCount + 1, kSimColValue, 77);
    sim_displacement = 9;
    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sim_save_line_hook = slow_line;
        sim_save_state();
        _exit(0);
    }
    // Wait until the child has written part of its file, then kill it.
    bool partly = false;
    for (int i = 0; i < 5000 && !partly; ++i) {
        for (const std::string& name : simcore_temp_files()) {
            std::error_code ec;
            auto size = std::filesystem::file_size(name, ec);
            partly = partly || (!ec && size > 2000);
        }
        if (!partly) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(partly) << "the child never got going";
    ASSERT_TRUE(WIFSIGNALED(status)) << "the save finished before the kill";
    EXPECT_EQ(simcore_read_file("kavaro.dat"), factory_bytes);
    // The next save completes and replaces it; the next start removes what the killed one left.
    ASSERT_TRUE(sim_save_state());
    const std::string saved = simcore_read_file("kavaro.dat");
    EXPECT_NE(saved, factory_bytes);
    EXPECT_EQ(simcore_temp_files().size(), 1u);
    start_and_run();
    EXPECT_TRUE(simcore_temp_files().empty());
    EXPECT_EQ(simcore_read_file("kavaro.dat"), saved);
}

TEST_F(SavedStateTest, ShortFileReportsItsEndOnceAndKeepsWhatWasRead) {
    auto lines = simcore_lines(factory_bytes);
    std::string head;
    for (int i = 0; i < 95; ++i) head += lines[static_cast<size_t>(i)] + "\r\n";
    simcore_write_file("kavaro.dat", head);
    start_and_run();
    ASSERT_EQ(simcore_dialogs.size(), 1u);
    EXPECT_EQ(simcore_dialogs[0].caption, "Unhandled Error #62");
    EXPECT_NE(simcore_dialogs[0].text.find("Input past end of file"), std::string::npos);
    // Rows 0 … 8 and half of row 9 were read; the rest is as at start.
    EXPECT_EQ(value(8), 9);
    EXPECT_EQ(sim_cell(9, kSimColMax), 15);
    EXPECT_EQ(sim_displacement, 2) << "start value kept";
    EXPECT_EQ(value(kSimRowSpecies), 1) << "0 species laid out as 1";
    EXPECT_EQ(simcore_read_file("kavaro.dat"), head);
}

TEST_F(SavedStateTest, TextLinesReadAsZero) {
    std::string text;
    for (int i = 0; i < 17018; ++i) text += "abc\r\n";
    simcore_write_file("kavaro.dat", text);
    start_and_run();
    // The colours and the number of species read as 0 lie below their cells' limits: brought
    // to 1, with one notice for all of them.
    ASSERT_EQ(simcore_dialogs.size(), 1u);
    EXPECT_EQ(simcore_dialogs[0].caption, "Unhandled Error #5");
    EXPECT_EQ(value(0), 1);
    EXPECT_EQ(value(kSimRowSpecies), 1);
    EXPECT_EQ(sim_max_particles, 0);
    EXPECT_EQ(simcore_read_file("kavaro.dat"), text);
}

TEST_F(SavedStateTest, NegativeSpeciesAndHugeCountsRun) {
    const std::string bad = patched({{line_of(1700, 2), "-5 "},
                                     {line_of(40, 2), "1E30 "},
                                     {17017, " 1E30 "},
                                     {17011, " 7 "}});
    simcore_write_file("kavaro.dat", bad);
    start_and_run();
    ASSERT_EQ(simcore_dialogs.size(), 1u) << "the species number brought within its limits";
    EXPECT_EQ(simcore_dialogs[0].caption, "Unhandled Error #5");
    EXPECT_EQ(value(kSimRowSpecies), 1);
    EXPECT_EQ(sim_particle_shape, 7);
    EXPECT_EQ(sim_max_particles, 1e30f);
    EXPECT_EQ(sim_active_count(0), 801);
    EXPECT_EQ(simcore_read_file("kavaro.dat"), bad);
}

TEST_F(SavedStateTest, NanLikeTextAndOverflow) {
    const std::string bad = patched({{line_of(40, 2), "NaN"},
                                     {line_of(41, 2), " 1.#QNAN "},
                                     {line_of(0, 2), "nan(0x7fc00000)"},
                                     {line_of(1, 2), " 1E39 "},
                                     {17014, " inf "}});
    simcore_write_file("kavaro.dat", bad);
    start_and_run();
    // The overflow, then the colour cell read as 0 brought to 1.
    ASSERT_EQ(simcore_dialogs.size(), 2u);
    EXPECT_EQ(simcore_dialogs[0].caption, "Unhandled Error #6");
    EXPECT_EQ(simcore_dialogs[1].caption, "Unhandled Error #5");
    EXPECT_EQ(value(0), 1);
    // The overflowing line keeps its start value; later lines still load.
    EXPECT_EQ(value(1), 0);
    EXPECT_EQ(value(2), 3);
    EXPECT_EQ(sim_displacement, 0);
    EXPECT_EQ(sim_auto_rotation, 0.3f);
    EXPECT_EQ(simcore_read_file("kavaro.dat"), bad);
}

// The disk fills up half-way through the save.
void full_at_9000(int32_t line) {
    if (line == 9000) frame_raise(61);
}

TEST_F(SavedStateTest, FailedSaveKeepsTheOldFileWithOneDialog) {
    sim_save_line_hook = full_at_9000;
    sim_displacement = 11;
    EXPECT_FALSE(sim_save_state());
    ASSERT_EQ(simcore_dialogs.size(), 1u);
    EXPECT_EQ(simcore_dialogs[0].caption, "Unhandled Error #61");
    EXPECT_EQ(simcore_read_file("kavaro.dat"), factory_bytes);
    EXPECT_TRUE(simcore_temp_files().empty()) << "the half-written file is removed";
}

// Names, types, inodes and device numbers of the working folder's entries (links not followed).
std::string folder_listing() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(".")) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names) {
        struct stat st {};
        lstat(n.c_str(), &st);
        out += n + ":" + std::to_string(st.st_mode) + ":" + std::to_string(st.st_rdev) + ":" +
               std::to_string(st.st_ino) + " ";
    }
    return out;
}

// A state file that became something no save may write (after it was read) refuses the save
// instead of being replaced, written into or opened: one dialog, the folder unchanged.
TEST_F(SavedStateTest, UnwritableStateFileRefusesTheSave) {
    namespace fs = std::filesystem;
    const std::vector<std::pair<std::string, std::function<void()>>> kinds = {
        {"a folder", [] { fs::create_directory("kavaro.dat"); }},
        {"a device node", [] { ASSERT_EQ(mknod("kavaro.dat", S_IFCHR | 0666, makedev(1, 7)), 0); }},
        {"a link to a FIFO",
         [] {
             ASSERT_EQ(mkfifo("pipe", 0644), 0);
             fs::create_symlink("pipe", "kavaro.dat");
         }},
        {"a socket",
         [] {
             int s = socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un a{};
             a.sun_family = AF_UNIX;
             std::strcpy(a.sun_path, "kavaro.dat");
             ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
             close(s);
         }},
        {"a link to a link loop",
         [] {
             fs::create_symlink("b", "a");
             fs::create_symlink("a", "b");
             fs::create_symlink("a", "kavaro.dat");
         }},
        {"41 links to a file",
         [] {
             simcore_write_file("end", " 1 \r\n");
             for (int i = 41; i >= 1; --i)
                 fs::create_symlink(i == 41 ? std::string("end") : "l" + std::to_string(i + 1),
                                    i == 1 ? std::string("kavaro.dat") : "l" + std::to_string(i));
         }},
    };
    for (const auto& [name, make] : kinds) {
        SCOPED_TRACE(name);
        // Device nodes need root (mknod); the nobody copy of the suite runs the rest.
        if (geteuid() != 0 && name.find("device") != std::string::npos) continue;
        for (const auto& e : fs::directory_iterator(".")) fs::remove_all(e.path());
        make();
        const std::string before = folder_listing();
        simcore_dialogs.clear();
        sim_displacement = 11;
        EXPECT_FALSE(sim_save_state());
        ASSERT_EQ(simcore_dialogs.size(), 1u);
        EXPECT_EQ(simcore_dialogs[0].caption, "Unhandled Error #53");
        EXPECT_EQ(folder_listing(), before);
    }
}

TEST_F(SavedStateTest, ReadOnlyStateFileIsKept) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions are not enforced for root";
    std::filesystem::permissions("kavaro.dat", std::filesystem::perms::owner_read |
                                                   std::filesystem::perms::group_read);
    sim_displacement = 11;
    sim_save_state();
    ASSERT_EQ(simcore_dialogs.size(), 1u);
    EXPECT_NE(simcore_dialogs[0].text.find("Permission denied"), std::string::npos);
    EXPECT_EQ(simcore_read_file("kavaro.dat"), factory_bytes);
}

}  // namespace
