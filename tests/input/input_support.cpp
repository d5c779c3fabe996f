#include "input_support.h"

#include "runtime/input/input.h"
#include "runtime/text/string_value.h"

void InputTest::SetUp() {
    DisplayTest::SetUp();
    input_init();
}

void InputTest::press(int32_t code) {
    input_key_event(code, 1);
    input_key_event(code, 0);
}
void InputTest::hold(int32_t code) { input_key_event(code, 1); }
void InputTest::release(int32_t code) { input_key_event(code, 0); }

std::string InputTest::inkey() {
    StringValue* s = input_inkey();
    std::string r;
    if (s->length > 0) r.assign(reinterpret_cast<const char*>(s->data), static_cast<size_t>(s->length));
    sv_free(s);
    return r;
}

std::string ext(int scan) { return std::string(1, '\0') + static_cast<char>(scan); }
