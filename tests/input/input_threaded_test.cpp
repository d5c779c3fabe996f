// One thread feeds keys and mouse events as the main thread does, another reads them as the
// program thread does. Run under -fsanitize=thread as well.
#include <atomic>
#include <string>
#include <thread>

#include "input_support.h"
#include "runtime/core/run_state.h"
#include "runtime/input/input.h"

namespace {

class InputThreaded : public InputTest {};

bool ring_full() {
    uint8_t head = frame_low_byte(kLowKeyHead).load();
    uint8_t tail = frame_low_byte(kLowKeyTail).load();
    return (tail + 2 > 60 ? 30 : tail + 2) == head;
}

TEST_F(InputThreaded, KeysAndMouseEventsCrossThreadsInOrder) {
    constexpr int kKeys = 3000, kMoves = 20000;
    std::atomic<bool> feeding{true};
    std::thread feeder([&] {
        for (int i = 0, m = 0; i < kKeys || m < kMoves;) {
            if (i < kKeys && !ring_full()) {
                // As the X server reports them: physical keys, the letter's release coded anew.
                input_physical_key(50, INPUT_KEY_LSHIFT, true);
                input_physical_key(50, INPUT_KEY_LSHIFT, false);
                input_physical_key(38, 'a' + i % 26, true);
                input_physical_key(38, 0, false);
                ++i;
            }
            if (m < kMoves) {
                input_mouse_event(INPUT_MOUSE_MOTION, 0, m % 1000, m / 1000);
                ++m;
            }
            if (m % 64 == 0) std::this_thread::yield();
        }
        feeding.store(false);
    });

    int keys = 0, last_move = -1;
    bool keys_in_order = true, moves_in_order = true, shift_sane = true, held_sane = true;
    for (;;) {
        bool done = !feeding.load();
        std::string k = inkey();
        if (!k.empty()) {
            keys_in_order = keys_in_order && k.size() == 1 && k[0] == 'a' + keys % 26;
            ++keys;
        }
        while (input_mouse_poll() == -1) {
            MouseEvent e = input_mouse_current();
            int id = e.y * 1000 + e.x;
            moves_in_order = moves_in_order && id >= last_move && id <= last_move + 1;
            last_move = id;
        }
        int32_t held = input_key_down(INPUT_KEY_LSHIFT);
        shift_sane = shift_sane && (held == 0 || held == -1);
        int32_t codes[8];
        held_sane = held_sane && input_down_snapshot(codes, 8) <= 2;
        if (done && k.empty() && keys == kKeys) break;
        if (done && keys != kKeys && k.empty()) break;  // a lost key: reported below
    }
    feeder.join();
    EXPECT_TRUE(keys_in_order);
    EXPECT_EQ(keys, kKeys);
    EXPECT_TRUE(moves_in_order);
    EXPECT_EQ(last_move, kMoves - 1);
    EXPECT_TRUE(shift_sane);
    EXPECT_TRUE(held_sane);
    int32_t codes[8];
    EXPECT_EQ(input_down_snapshot(codes, 8), 0);  // nothing left held
}

}  // namespace
