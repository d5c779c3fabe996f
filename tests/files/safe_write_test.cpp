// Writing through a locked temporary file beside the target: what is written over, what a
// start-up clean-up removes, and programs writing the same file at once.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files_support.h"
#include "runtime/files/file_safe.h"

namespace {

using SafeWriteTest = FilesTest;

std::vector<std::string> temp_names() {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator("."))
        if (e.path().extension() == ".tmp") out.push_back(e.path().filename());
    return out;
}

// One write of `bytes` to `target`; the errno of the step that failed, or 0.
int write_whole(const std::string& target, const std::string& bytes) {
    std::string temp;
    int fd = file_temp_create(target, temp, 0666);
    if (fd < 0) return errno;
    if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return EIO;
    return file_temp_commit(fd, temp, target, nullptr);
}

TEST_F(SafeWriteTest, TheUnlockedTemporaryFilesOfTheTargetAloneAreStale) {
    write_file("s.dat", "state");
    write_file("s.dat.Ab12Cd.tmp", "killed");
    write_file("s.dat.Xy34Zw.tmp", "being written");
    int held = open("s.dat.Xy34Zw.tmp", O_RDONLY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    write_file("s.dat.backup", "the user's");
    write_file("s.dat.Ab12Cd", "the user's");
    write_file("t.dat.Ab12Cd.tmp", "another target's");
    ASSERT_EQ(mkfifo("s.dat.Fifo12.tmp", 0644), 0);
    ASSERT_EQ(symlink("s.dat", "s.dat.Link12.tmp"), 0);
    write_file("kavaro.tmp", "an older program's, being written");
    file_temp_remove_stale("s.dat", "kavaro.tmp");
    EXPECT_FALSE(exists("s.dat.Ab12Cd.tmp"));
    for (const char* kept : {"s.dat", "s.dat.Xy34Zw.tmp", "s.dat.backup", "s.dat.Ab12Cd", "t.dat.Ab12Cd.tmp",
                             "s.dat.Fifo12.tmp", "s.dat.Link12.tmp", "kavaro.tmp"})
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(kept))) << kept;
    close(held);
    file_temp_remove_stale("s.dat");
    EXPECT_FALSE(exists("s.dat.Xy34Zw.tmp")) << "stale once nobody holds it";
}

// Open, a temporary file is locked and left by a clean-up; closed uncommitted, or at an exit that
// cannot wait for its writer, it is removed.
TEST_F(SafeWriteTest, AnUnfinishedTemporaryFileIsRemoved) {
    file_open_temp(1, "kavaro.dat");
    ASSERT_EQ(take_error(), 0u);
    file_temp_remove_stale("kavaro.dat");
    ASSERT_EQ(temp_names().size(), 1u);
    file_close(1);
    EXPECT_TRUE(temp_names().empty());
    std::string temp;
    int fd = file_temp_create("other.dat", temp, 0600);
    ASSERT_GE(fd, 0);
    file_temp_remove_unfinished();
    EXPECT_TRUE(temp_names().empty());
    close(fd);
}

// Two writers of one file and a third starting up (cleaning up) again and again: every write
// succeeds, the file is always one writer's whole, and nothing is left behind.
TEST_F(SafeWriteTest, ProgramsWritingOneFileAtOnceEachWriteAWholeFile) {
    const std::string a(100000, 'a'), b(100000, 'b');
    write_file("kavaro.dat", a);
    std::vector<pid_t> children;
    for (int who = 0; who < 3; ++who) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failed = 0;
            for (int i = 0; i < 300; ++i) {
                if (who == 2) {
                    file_temp_remove_stale("kavaro.dat");
                    std::string now = read_file("kavaro.dat");
                    failed += now != a && now != b;
                } else {
                    failed += write_whole("kavaro.dat", who ? b : a) != 0;
                }
            }
            _exit(failed > 255 ? 255 : failed);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "failures: " << WEXITSTATUS(status);
    }
    const std::string now = read_file("kavaro.dat");
    EXPECT_TRUE(now == a || now == b);
    EXPECT_TRUE(temp_names().empty());
}

}  // namespace
