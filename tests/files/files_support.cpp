#include "files_support.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

int remove_entry(const char* path, const struct stat*, int type, struct FTW*) {
    // Never through a link: a chmod follows it out of the test's folder (to /dev/zero, say).
    if (type != FTW_SL) chmod(path, 0755);
    return std::remove(path);
}

}  // namespace

void FilesTest::SetUp() {
    static bool strings_ready = false;
    if (!strings_ready) {
        sv_init();
        strings_ready = true;
    }
    frame_error.error_number = 0;
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    old_cwd_ = cwd;
    char tmpl[] = "/tmp/kavaro-files-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    ASSERT_EQ(chdir(dir_.c_str()), 0);
}

void FilesTest::TearDown() {
    file_close_all();
    frame_error.error_number = 0;
    file_screen_print = nullptr;
    if (chdir(old_cwd_.c_str()) != 0) std::perror("chdir");
    // Unwritable folders made by a test are opened up again before removal.
    chmod(dir_.c_str(), 0755);
    nftw(dir_.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

uint32_t FilesTest::take_error() {
    uint32_t n = frame_error.error_number;
    frame_error.error_number = 0;
    return n;
}

void FilesTest::write_file(const std::string& name, const std::string& bytes) {
    std::ofstream f(name, std::ios::binary);
    f << bytes;
}

std::string FilesTest::read_file(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool FilesTest::exists(const std::string& name) {
    struct stat st;
    return stat(name.c_str(), &st) == 0;
}

bool FilesTest::running_as_root() { return geteuid() == 0; }
