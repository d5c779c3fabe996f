#include <sys/stat.h>

#include "files_support.h"

using KillTest = FilesTest;

TEST_F(KillTest, WildcardDeletesMatchingFilesAndSkipsFolders) {
    write_file("a1.txt", "1");
    write_file("a2.txt", "2");
    write_file("b.txt", "3");
    ASSERT_EQ(mkdir("a3.txt", 0755), 0);
    file_kill(text("a*.txt"));
    EXPECT_EQ(take_error(), 0u);
    EXPECT_FALSE(exists("a1.txt"));
    EXPECT_FALSE(exists("a2.txt"));
    EXPECT_TRUE(exists("b.txt"));
    EXPECT_TRUE(exists("a3.txt"));
}

TEST_F(KillTest, PlainNameAndFolderPart) {
    ASSERT_EQ(mkdir("sub", 0755), 0);
    write_file("sub/kavaro.dat", "x");
    write_file("kavaro.dat", "y");
    file_kill(text("sub/kavaro.dat"));
    EXPECT_EQ(take_error(), 0u);
    EXPECT_FALSE(exists("sub/kavaro.dat"));
    EXPECT_TRUE(exists("kavaro.dat"));
}

TEST_F(KillTest, NoMatchRaises53) {
    write_file("b.txt", "3");
    file_kill(text("a*.txt"));
    EXPECT_EQ(take_error(), 53u);
    file_kill(text("missing/x.txt"));
    EXPECT_EQ(take_error(), 53u);
    EXPECT_TRUE(exists("b.txt"));
}

TEST_F(KillTest, FileOpenHereRaises55) {
    file_open(text("kavaro.dat"), FILE_OUTPUT, 0, 0, 1, 0);
    file_kill(text("kavaro.dat"));
    EXPECT_EQ(take_error(), 55u);
    EXPECT_TRUE(exists("kavaro.dat"));
    file_close(1);
    file_kill(text("kavaro.dat"));
    EXPECT_EQ(take_error(), 0u);
    EXPECT_FALSE(exists("kavaro.dat"));
}

TEST_F(KillTest, UndeletableFileRaises55) {
    if (running_as_root()) GTEST_SKIP() << "permissions are not enforced for root";
    ASSERT_EQ(mkdir("ro", 0755), 0);
    write_file("ro/x.txt", "1");
    ASSERT_EQ(chmod("ro", 0555), 0);
    file_kill(text("ro/x.txt"));
    EXPECT_EQ(take_error(), 55u);
    chmod("ro", 0755);
}

using RenameTest = FilesTest;

TEST_F(RenameTest, ReplacesAnExistingFile) {
    write_file("kavaro.dat", "old contents");
    write_file("kavaro.tmp", " 5 \r\n");
    file_rename(text("kavaro.tmp"), text("kavaro.dat"));
    EXPECT_EQ(take_error(), 0u);
    EXPECT_FALSE(exists("kavaro.tmp"));
    EXPECT_EQ(read_file("kavaro.dat"), " 5 \r\n");
}

TEST_F(RenameTest, MissingSourceRaises53AndMissingFolderRaises76) {
    file_rename(text("nothing.tmp"), text("kavaro.dat"));
    EXPECT_EQ(take_error(), 53u);
    write_file("kavaro.tmp", "1");
    file_rename(text("kavaro.tmp"), text("nowhere/kavaro.dat"));
    EXPECT_EQ(take_error(), 76u);
    EXPECT_TRUE(exists("kavaro.tmp"));
}

TEST_F(RenameTest, NamesAreConsumed) {
    int32_t base = sv_temp_count();
    write_file("a", "1");
    file_rename(text("a"), text("b"));
    file_rename(text("a"), text("b"));
    take_error();
    EXPECT_EQ(sv_temp_count(), base);
    EXPECT_TRUE(exists("b"));
}

// Only "*" and "?" are wildcards: brackets and backslashes stand for themselves.
TEST_F(KillTest, OnlyStarAndQuestionMarkAreWildcards) {
    struct Case {
        const char* pattern;
        std::vector<const char*> gone, kept;
    };
    const Case cases[] = {
        {"a[1].dat", {"a[1].dat"}, {"a1.dat", "a[2].dat"}},
        {"a[12].dat", {}, {"a1.dat", "a2.dat"}},
        {"b\\x.dat", {"b\\x.dat"}, {"bx.dat"}},
        {"c?[*].dat", {"c1[x].dat", "c2[yy].dat"}, {"c1x.dat", "c[x].dat"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        for (auto* n : c.gone) write_file(n, "x");
        for (auto* n : c.kept) write_file(n, "x");
        file_kill(text(c.pattern));
        EXPECT_EQ(take_error(), c.gone.empty() ? 53u : 0u);
        for (auto* n : c.gone) EXPECT_FALSE(exists(n)) << n;
        for (auto* n : c.kept) EXPECT_TRUE(exists(n)) << n;
        for (auto* n : c.kept) std::remove(n);
    }
}

TEST_F(RenameTest, SyncWritesAnOpenFileAndRefusesAFreeNumber) {
    file_open(text("s.dat"), FILE_OUTPUT, 0, 0, 1, 0);
    file_print(1, text("5"), 1, 0, 1);
    file_sync(1);
    EXPECT_EQ(take_error(), 0u);
    file_close(1);
    EXPECT_EQ(read_file("s.dat"), "5 \r\n");
    file_sync(2);
    EXPECT_EQ(take_error(), 52u);
}
