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
    std::string resolved, temp;
    struct stat old;
    bool exists = false;
    if (int why = file_write_target(target, resolved, &old, &exists)) return why;
    int fd = file_temp_create(resolved, temp, 0666);
    if (fd < 0) return errno;
    if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        file_temp_discard(fd, temp);
        return EIO;
    }
    return file_temp_commit(fd, temp, resolved, exists ? &old : nullptr);
}

TEST_F(SafeWriteTest, LinksAreFollowedToARegularFileOrANewName) {
    write_file("real", "old");
    ASSERT_EQ(symlink("real", "link"), 0);
    ASSERT_EQ(symlink("missing", "dangling"), 0);
    ASSERT_EQ(mkdir("sub", 0755), 0);
    ASSERT_EQ(symlink("../real", "sub/up"), 0);
    ASSERT_EQ(chmod("real", 0640), 0);
    EXPECT_EQ(write_whole("link", "new"), 0);
    EXPECT_EQ(read_file("real"), "new");
    struct stat st;
    ASSERT_EQ(lstat("link", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays";
    ASSERT_EQ(stat("real", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the mode is kept";
    EXPECT_EQ(write_whole("dangling", "made"), 0);
    EXPECT_EQ(read_file("missing"), "made");
    EXPECT_EQ(write_whole("sub/up", "relative"), 0);
    EXPECT_EQ(read_file("real"), "relative");
    EXPECT_TRUE(temp_names().empty());
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

TEST_F(SafeWriteTest, ANumberedTemporaryFileIsRemovedUnlessCommitted) {
    file_open_temp(1, "kavaro.dat");
    ASSERT_EQ(take_error(), 0u);
    file_print(1, text("5"), 1, 0, 1);
    ASSERT_EQ(temp_names().size(), 1u);
    const std::string temp = temp_names()[0];
    // Locked while open: a clean-up leaves it, another locker cannot have it.
    file_temp_remove_stale("kavaro.dat");
    ASSERT_EQ(temp_names().size(), 1u);
    int other = open(temp.c_str(), O_RDONLY);
    EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
    close(other);
    file_close(1);
    EXPECT_TRUE(temp_names().empty());
    EXPECT_FALSE(exists("kavaro.dat"));

    file_open_temp(1, "kavaro.dat");
    file_print(1, text("7"), 1, 0, 1);
    file_commit(1, "kavaro.dat", nullptr);
    EXPECT_EQ(take_error(), 0u);
    EXPECT_EQ(read_file("kavaro.dat"), "7 \r\n");
    EXPECT_TRUE(temp_names().empty());
    EXPECT_EQ(file_slot(1), nullptr);

    // An exit that cannot wait removes what is unfinished.
    file_open_temp(1, "kavaro.dat");
    std::string t2;
    int fd = file_temp_create("other.dat", t2, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(temp_names().size(), 2u);
    file_temp_remove_unfinished();
    EXPECT_TRUE(temp_names().empty());
    close(fd);
    file_close(1);
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
