// What the desktop knows the window by: its title, class, process and icon.
#pragma once
#include <cstdint>
#include <vector>

// One size of the program's icon, 0xAARRGGBB pixels row after row (made from the icon PNGs).
struct FrameIcon {
    int32_t width, height;
    const uint32_t* argb;
};
extern const FrameIcon frame_icons[];
extern const int32_t frame_icon_count;

// The _NET_WM_ICON value: for every icon its width, its height, then its pixels.
std::vector<unsigned long> frame_icon_property();

// Main thread, right after the window is made (its GL context current): sets the title
// (WM_NAME and _NET_WM_NAME), WM_CLASS "kavaro" / "Kavaro", _NET_WM_PID and _NET_WM_ICON.
// False when the window cannot be reached; the program runs on without them.
bool frame_name_window(const char* title);
