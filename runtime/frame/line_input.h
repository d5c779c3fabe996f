// A line typed at the keyboard (echoed at the cursor), as a temporary.
#pragma once
#include "runtime/text/string_value.h"

StringValue* frame_line_input();
