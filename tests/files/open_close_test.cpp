#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "files_support.h"
#include "runtime/files/file_table.h"

using OpenTest = FilesTest;

TEST_F(OpenTest, NumberZeroAndNegativeRaise52) {
    file_open(text("a.txt"), FILE_OUTPUT, 0, 0, 0, 0);
    EXPECT_EQ(take_error(), 52u);
    file_open(text("a.txt"), FILE_OUTPUT, 0, 0, -3, 0);
    EXPECT_EQ(take_error(), 52u);
    EXPECT_FALSE(exists("a.txt"));
}

TEST_F(OpenTest, NumberAlreadyOpenRaises55AndKeepsTheFirstFile) {
    file_open(text("a.txt"), FILE_OUTPUT, 0, 0, 1, 0);
    file_open(text("b.txt"), FILE_OUTPUT, 0, 0, 1, 0);
    EXPECT_EQ(take_error(), 55u);
    EXPECT_FALSE(exists("b.txt"));
    file_print(1, text("x"), 0, 0, 0);
    file_close(1);
    EXPECT_EQ(read_file("a.txt"), "x");
}

TEST_F(OpenTest, MissingFileForInputRaises53AndLeavesTheNumberFree) {
    file_open(text("kavaro.dat"), FILE_INPUT, 0, 0, 1, 0);
    EXPECT_EQ(take_error(), 53u);
    EXPECT_EQ(file_slot(1), nullptr);
    write_file("kavaro.dat", " 5 \r\n");
    file_open(text("kavaro.dat"), FILE_INPUT, 0, 0, 1, 0);
    EXPECT_EQ(take_error(), 0u);
    EXPECT_EQ(file_input_number(1, FILE_NUM_SINGLE), 5.0);
}

TEST_F(OpenTest, MissingFolderRaises76) {
    file_open(text("nowhere/kavaro.dat"), FILE_INPUT, 0, 0, 1, 0);
    EXPECT_EQ(take_error(), 76u);
    file_open(text("nowhere/kavaro.dat"), FILE_OUTPUT, 0, 0, 1, 0);
    EXPECT_EQ(take_error(), 76u);
    EXPECT_EQ(file_slot(1), nullptr);
}

TEST_F(OpenTest, UnwritableFolderRaises70) {
    if (running_as_root()) GTEST_SKIP() << "permissions are not enforced for root";
    ASSERT_EQ(mkdir("ro", 0555), 0);
    file_open(text("ro/new.dat"), FILE_OUTPUT, 0, 0, 1, 0);
    EXPECT_EQ(take_error(), 70u);
    EXPECT_EQ(file_slot(1), nullptr);
}

TEST_F(OpenTest, FolderOpenedAsFileRaises53) {
    ASSERT_EQ(mkdir("d", 0755), 0);
    file_open(text("d"), FILE_INPUT, 0, 0, 1, 0);
    EXPECT_EQ(take_error(), 53u);
    EXPECT_EQ(file_slot(1), nullptr);
}

TEST_F(OpenTest, EmptyNameRaises64) {
    file_open(text(""), FILE_OUTPUT, 0, 0, 1, 0);
    EXPECT_EQ(take_error(), 64u);
}

TEST_F(OpenTest, OutputEmptiesAnExisting10ByteFile) {
    write_file("kavaro.dat", "0123456789");
    file_open(text("kavaro.dat"), FILE_OUTPUT, 0, 0, 1, 0);
    EXPECT_EQ(take_error(), 0u);
    file_close(1);
    EXPECT_TRUE(exists("kavaro.dat"));
    EXPECT_EQ(read_file("kavaro.dat"), "");
}

TEST_F(OpenTest, AppendWritesAfterTheExistingBytes) {
    write_file("log.txt", "abc");
    file_open(text("log.txt"), FILE_APPEND, 0, 0, 2, 0);
    ASSERT_NE(file_slot(2), nullptr);
    EXPECT_EQ(file_slot(2)->mode, FILE_OUTPUT);
    EXPECT_EQ(file_slot(2)->position, 3);
    file_print(2, text("d"), 0, 0, 1);
    file_close(2);
    EXPECT_EQ(read_file("log.txt"), "abcd\r\n");
}

TEST_F(OpenTest, RandomModeGetsAZeroedRecordOf128Bytes) {
    file_open(text("r.bin"), FILE_RANDOM, 0, 0, 1, 0);
    FileSlot* s = file_slot(1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->record_length, 128);
    ASSERT_NE(s->record_buffer, nullptr);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(s->record_buffer[i], 0);
    EXPECT_TRUE(s->read_allowed && s->write_allowed);
}

TEST_F(OpenTest, BinaryFallsBackToReadOnlyOnAReadOnlyFile) {
    if (running_as_root()) GTEST_SKIP() << "permissions are not enforced for root";
    write_file("ro.bin", "x");
    ASSERT_EQ(chmod("ro.bin", 0444), 0);
    file_open(text("ro.bin"), FILE_BINARY, 0, 0, 1, 0);
    EXPECT_EQ(take_error(), 0u);
    ASSERT_NE(file_slot(1), nullptr);
    EXPECT_EQ(file_slot(1)->read_allowed, 1);
    EXPECT_EQ(file_slot(1)->write_allowed, 0);
}

TEST_F(OpenTest, DescriptorsAreClosedOnExec) {
    file_open(text("a.txt"), FILE_OUTPUT, 0, 0, 1, 0);
    int fd = file_io[static_cast<size_t>(file_slot_index(1))].fd;
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);
}

TEST_F(OpenTest, LockedFileCannotBeOpenedAgainInThisProcess) {
    file_open(text("a.txt"), FILE_BINARY, 0, 3, 1, 0);
    file_open(text("a.txt"), FILE_INPUT, 0, 0, 2, 0);
    EXPECT_EQ(take_error(), 70u);
    file_open(text("b.txt"), FILE_BINARY, 0, 0, 3, 0);
    file_open(text("b.txt"), FILE_INPUT, 0, 0, 4, 0);  // shared: allowed
    EXPECT_EQ(take_error(), 0u);
}

TEST_F(OpenTest, ModeLetters) {
    file_open_letter(text("o"), 1, text("a.txt"), 0);
    EXPECT_EQ(take_error(), 0u);
    ASSERT_NE(file_slot(1), nullptr);
    EXPECT_EQ(file_slot(1)->mode, FILE_OUTPUT);
    file_open_letter(text("X"), 2, text("b.txt"), 0);
    EXPECT_EQ(take_error(), 54u);
    EXPECT_FALSE(exists("b.txt"));
    EXPECT_EQ(file_slot(2), nullptr);
}

TEST_F(OpenTest, NamesAreConsumed) {
    int32_t base = sv_temp_count();
    file_open(text("a.txt"), FILE_OUTPUT, 0, 0, 1, 0);
    file_open(text("missing"), FILE_INPUT, 0, 0, 2, 0);
    take_error();
    EXPECT_EQ(sv_temp_count(), base);
}

TEST_F(OpenTest, NothingHappensWhileAnErrorIsPending) {
    frame_error.error_number = 5;
    file_open(text("a.txt"), FILE_OUTPUT, 0, 0, 1, 0);
    EXPECT_FALSE(exists("a.txt"));
    EXPECT_EQ(take_error(), 5u);
}

using CloseTest = FilesTest;

TEST_F(CloseTest, NeverOpenedNumberIsIgnored) {
    file_close(7);
    file_close(100000);
    file_close(0);
    EXPECT_EQ(take_error(), 0u);
}

TEST_F(CloseTest, ClosingFreesTheNumber) {
    file_open(text("a.txt"), FILE_OUTPUT, 0, 0, 1, 0);
    file_close(1);
    EXPECT_EQ(file_slot(1), nullptr);
    file_open(text("a.txt"), FILE_INPUT, 0, 0, 1, 0);
    EXPECT_EQ(take_error(), 0u);
    EXPECT_NE(file_slot(1), nullptr);
}

TEST_F(CloseTest, CloseAllRunsEvenWithAPendingError) {
    file_open(text("a.txt"), FILE_OUTPUT, 0, 0, 1, 0);
    file_open(text("b.txt"), FILE_OUTPUT, 0, 0, 9, 0);
    frame_error.error_number = 62;
    file_close_all();
    EXPECT_EQ(file_slot(1), nullptr);
    EXPECT_EQ(file_slot(9), nullptr);
}

TEST_F(OpenTest, OutputRefusedByALockLeavesTheFileIntact) {
    write_file("a.txt", "keep");
    file_open(text("a.txt"), FILE_INPUT, 0, 2, 1, 0);  // others may not write
    file_open(text("a.txt"), FILE_OUTPUT, 0, 0, 2, 0);
    EXPECT_EQ(take_error(), 70u);
    EXPECT_EQ(file_slot(2), nullptr);
    EXPECT_EQ(read_file("a.txt"), "keep");
}

// Input takes only a regular file, which has an end; nothing else is read, no device is even
// opened, and no open waits for a partner at the other end of a FIFO.
TEST_F(OpenTest, OpensNeverWaitAndInputTakesOnlyRegularFiles) {
    ASSERT_EQ(mkfifo("fifo", 0644), 0);
    // Device nodes of the test's own (root only), never the system's.
    // "nodev" has no driver: opening it would fail as "Device unavailable" (68).
    const bool nodes = mknod("zero.node", S_IFCHR | 0666, makedev(1, 5)) == 0 &&
                       mknod("null", S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                       mknod("nodev", S_IFCHR | 0666, makedev(240, 123)) == 0;
    ASSERT_EQ(symlink("zero.node", "zero"), 0);
    write_file("plain", " 5 \r\n");
    ASSERT_EQ(symlink("plain", "link"), 0);
    struct Case {
        const char* name;
        int32_t mode;
        uint32_t error;
    };
    const Case cases[] = {
        {"fifo", FILE_INPUT, 53},  {"zero", FILE_INPUT, 53},   {"null", FILE_INPUT, 53},
        {"fifo", FILE_OUTPUT, 68}, {"fifo", FILE_APPEND, 68},  {"link", FILE_INPUT, 0},
        {"plain", FILE_INPUT, 0},  {"null", FILE_OUTPUT, 0},   {"nodev", FILE_INPUT, 53},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " mode " + std::to_string(c.mode));
        if (!nodes && (std::string(c.name) == "zero" || std::string(c.name).find("null") == 0 ||
                       std::string(c.name) == "nodev"))
            continue;
        file_open(text(c.name), c.mode, 0, 0, 1, 0);
        EXPECT_EQ(take_error(), c.error);
        EXPECT_EQ(file_slot(1) != nullptr, c.error == 0);
        if (c.error == 0 && c.mode == FILE_INPUT) {
            EXPECT_EQ(file_input_number(1, FILE_NUM_SINGLE), 5);
        }
        file_close(1);
    }
}
