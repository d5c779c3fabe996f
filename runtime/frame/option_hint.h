// The hint for a mistyped option: the options of the help text nearest to it.
#pragma once
#include <string>

// The known option (or two, joined by " or ") within two edits (a letter added, dropped,
// changed, or two neighbours swapped) of `arg`, and nearer than half its name's length; "" when
// none is that close.
std::string frame_option_hint(const char* arg);
