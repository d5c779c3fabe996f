// Arbitrary file contents read as numeric fields: no crash, no read out of bounds, and every
// read either consumes input or raises an error.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/core/error.h"
#include "runtime/files/files.h"
#include "runtime/text/string_value.h"

namespace {

std::string g_path;

void remove_temp() { unlink(g_path.c_str()); }

void setup_once() {
    if (!g_path.empty()) return;
    sv_init();
    char tmpl[] = "/tmp/kavaro-fuzz-input-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd < 0) std::abort();
    close(fd);
    g_path = tmpl;
    std::atexit(remove_temp);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setup_once();
    FILE* f = std::fopen(g_path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);

    frame_error.error_number = 0;
    file_open(sv_new_text(g_path.c_str()), FILE_INPUT, 0, 0, 1, 0);
    if (frame_error.error_number != 0) std::abort();
    // Every read that raises nothing consumes at least one byte.
    for (size_t reads = 0; frame_error.error_number == 0; ++reads) {
        if (reads > size + 1) std::abort();
        int32_t type = FILE_NUM_SINGLE + static_cast<int32_t>(reads % 5);
        file_input_number(1, type);
    }
    uint32_t err = frame_error.error_number;
    if (err != 62 && err != 6) std::abort();
    frame_error.error_number = 0;
    file_close(1);
    return 0;
}
