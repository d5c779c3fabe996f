// A fresh temporary folder per test, made current; strings and errors ready.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "runtime/core/error.h"
#include "runtime/files/files.h"
#include "runtime/text/string_value.h"

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Takes the pending error number and clears it.
    static uint32_t take_error();
    void write_file(const std::string& name, const std::string& bytes);
    std::string read_file(const std::string& name);
    bool exists(const std::string& name);
    static StringValue* text(const char* s) { return sv_new_text(s); }
    static bool running_as_root();

    std::string dir_;
    std::string old_cwd_;
};
