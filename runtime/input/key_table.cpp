// Key translation table: typed characters and extended keys to keyboard-ring values.
#include "runtime/input/input.h"

namespace {

struct KeyTable {
    KeyTableEntry e[512];
};

void put(KeyTable& t, int index, int scan, int normal, int shift, int ctrl, int alt) {
    KeyTableEntry& k = t.e[index];
    k.scan = static_cast<uint8_t>(scan);
    k.value[INPUT_MOD_NONE] = normal;
    k.value[INPUT_MOD_SHIFT] = shift;
    k.value[INPUT_MOD_CTRL] = ctrl;
    k.value[INPUT_MOD_ALT] = alt;
    k.present = true;
}

// A character key: the character itself with and without Shift (FreeGLUT applies Shift).
void chr(KeyTable& t, int ch, int scan, int ctrl, int alt) { put(t, ch, scan, ch, ch, ctrl, alt); }

KeyTable build() {
    KeyTable t;
    put(t, 8, 14, 8, 8, 127, 0x0E00);
    put(t, 9, 15, 9, 0x0F00, 0x9400, 0);
    put(t, 13, 28, 13, 13, 10, 0);
    put(t, 27, 1, 27, 27, 27, 0);
    put(t, 32, 57, 32, 32, 32, 0);

    // Letters by the keyboard rows.
    const char* rows[3] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
    const int first[3] = {16, 30, 44};
    for (int r = 0; r < 3; ++r)
        for (int i = 0; rows[r][i]; ++i) {
            int lower = rows[r][i];
            int scan = first[r] + i;
            int ctrl = lower - 'a' + 1;
            chr(t, lower, scan, ctrl, scan * 256);
            chr(t, lower - 32, scan, ctrl, scan * 256);
        }

    // Digit row: "1".."9", "0" on scan 2..11 with their Shift symbols.
    const char digits[] = "1234567890";
    const char shifted[] = "!@#$%^&*()";
    for (int i = 0; i < 10; ++i) {
        int scan = 2 + i;
        int alt = 0x7800 + i * 0x100;
        int ctrl = 0;
        if (digits[i] == '2') ctrl = 0x0300;
        if (digits[i] == '6') ctrl = 30;
        chr(t, digits[i], scan, ctrl, alt);
        int sctrl = 0;
        if (shifted[i] == '@') sctrl = 0x0300;
        if (shifted[i] == '^') sctrl = 30;
        chr(t, shifted[i], scan, sctrl, alt);
    }
    chr(t, '-', 12, 31, 0x8200);
    chr(t, '_', 12, 31, 0x8200);
    chr(t, '=', 13, 0, 0x8300);
    chr(t, '+', 13, 0, 0x8300);
    chr(t, '[', 26, 27, 26 * 256);
    chr(t, '{', 26, 27, 26 * 256);
    chr(t, '\\', 43, 28, 43 * 256);
    chr(t, '|', 43, 28, 43 * 256);
    chr(t, ']', 27, 29, 27 * 256);
    chr(t, '}', 27, 29, 27 * 256);
    const struct { char a, b; int scan; } punct[] = {
        {';', ':', 39}, {'\'', '"', 40}, {'`', '~', 41}, {',', '<', 51}, {'.', '>', 52}, {'/', '?', 53},
    };
    for (const auto& p : punct) {
        chr(t, p.a, p.scan, 0, p.scan * 256);
        chr(t, p.b, p.scan, 0, p.scan * 256);
    }

    // Extended keys: entry 256 + scan.
    for (int i = 0; i < 10; ++i)
        put(t, 256 + 59 + i, 59 + i, 0x3B00 + i * 0x100, 0x5400 + i * 0x100, 0x5E00 + i * 0x100,
            0x6800 + i * 0x100);
    const struct { int scan, ctrl, alt; } nav[] = {
        {71, 0x7700, 0x9700}, {72, 0x8D00, 0x9800}, {73, 0x8400, 0x9900}, {75, 0x7300, 0x9B00},
        {77, 0x7400, 0x9D00}, {79, 0x7500, 0x9F00}, {80, 0x9100, 0xA000}, {81, 0x7600, 0xA100},
        {82, 0x9200, 0xA200}, {83, 0x9300, 0xA300}, {87, 0x8900, 0x8B00}, {88, 0x8A00, 0x8C00},
    };
    for (const auto& n : nav) {
        int code = n.scan == 87 ? 0x8500 : n.scan == 88 ? 0x8600 : n.scan * 256;
        put(t, 256 + n.scan, n.scan, code, code, n.ctrl, n.alt);
    }
    return t;
}

const KeyTable& table() {
    static const KeyTable t = build();
    return t;
}

}  // namespace

const KeyTableEntry& input_key_table(int32_t index) {
    static const KeyTableEntry none;
    if (index < 0 || index >= 512) return none;
    return table().e[index];
}
