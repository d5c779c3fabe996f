// The swarm codes the page around the program asks for and shows: the code of the swarm on the
// screen for its Share button, and the code of the swarm loaded for its address. Each is a
// mailbox between the program thread and the page's (main) thread; neither side ever waits.
#pragma once
#include <string>

// Main thread (the Share button): the program is asked for the code of the swarm it shows.
void frame_request_share();
// Program thread, once a frame: true when the page asks (answer with frame_answer_share). It
// also posts what had to wait.
bool frame_take_share_request();
// Program thread: the answer, a code (or a sentence starting with "!" when there is none).
void frame_answer_share(const std::string& text);
// Main thread: true with the answer once it has come.
bool frame_take_share_answer(std::string& text);

// Program thread: the code of the swarm just loaded or saved ("" for none). When the page is
// reading the one before, it is posted at the next frame.
void frame_post_swarm_address(const std::string& code);
// Main thread: true with the code when a new one has come.
bool frame_take_swarm_address(std::string& code);
