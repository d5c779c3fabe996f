// The page's stored folder: /kavaro lives in the browser's IndexedDB (Emscripten's IDBFS), loaded
// by the page before the program starts.
#pragma once

// Any thread but the main one: `path`, just committed, is stored in IndexedDB (in one
// transaction: a closed tab leaves the stored file old or new, whole) before this returns.
// Files outside the stored folder are not stored. A refusal is told once in a box; the stored
// file stays as it was and the program runs on.
void frame_store_committed(const char* path);
// The program thread, before every start of the main routine: the files another page (another
// tab) stored meanwhile replace the ones here; nothing stored here is removed.
void frame_store_refresh();
