// A state file the user opened in the page around the program (the page's Open button), for
// the program to load between two frames.
#pragma once
#include <string>

// Main thread: `path` is to be loaded; a request not yet taken is replaced. False while the
// program is taking the one before (ask again a moment later).
bool frame_request_open(const std::string& path);
// Program thread, once a frame: true with the path when a file is to be loaded.
bool frame_take_open_request(std::string& path);
