// Writing a file only where it belongs: over a regular file or a new name (links followed),
// through a unique temporary file beside it that is locked while it is written, flushed, and
// renamed over the target in one step.
#pragma once
#include <sys/stat.h>

#include <cstdint>
#include <string>

// The reason given when the end of the links is a device, a FIFO or a socket.
constexpr int kFileNotRegular = 100000;

// Follows `path`'s symbolic links to the file a write replaces (`target`). 0 when that is a
// regular file (`*old` gets its status, `*exists` true) or does not exist yet; else why it may
// not be written: ELOOP (a loop, too many links), EISDIR, kFileNotRegular, or the errno of the
// failed look-up.
int file_write_target(const std::string& path, std::string& target, struct stat* old, bool* exists);
// Text for a reason of file_write_target or an errno.
const char* file_error_text(int why);
// The run-time error for a refused target: what opening it for input gives.
int32_t file_write_target_error(int why, const std::string& target);

// A new temporary file beside `target`, named "TARGET.XXXXXX.tmp", created with `mode` (less the
// umask), locked while this process holds it and listed as unfinished. The descriptor, or -1
// with errno set.
int file_temp_create(const std::string& target, std::string& temp, mode_t mode);
// Flushes the temporary file to disk, gives it the mode and owner of `old` (when given), renames
// it over `target`, flushes the folder and closes it. 0, or the errno of the failed step (the
// temporary file is then gone).
int file_temp_commit(int fd, const std::string& temp, const std::string& target, const struct stat* old);
// Closes and removes a temporary file that will not be committed.
void file_temp_discard(int fd, const std::string& temp);
// Any thread, at an exit that cannot wait for the writer: removes every temporary file this
// process has begun and not finished.
void file_temp_remove_unfinished();
// Removes the temporary files of `target` that a killed or crashed save left: those no running
// program holds locked. `legacy_name`: a fixed name beside it that older programs wrote without
// a lock, removed once nobody has written it for a minute.
void file_temp_remove_stale(const std::string& target, const char* legacy_name = nullptr);
// Flushes the folder of `path` (after a rename in it).
void file_sync_folder(const std::string& path);

// Numbered files: opens a new temporary file beside `target` for output as `number`. Closing it
// before file_commit removes it.
void file_open_temp(int32_t number, const std::string& target);
// Puts the temporary file open as `number` in place of `target` (file_temp_commit) and closes
// the number. `old`: the status of the file it replaces, or nullptr for a new one.
void file_commit(int32_t number, const std::string& target, const struct stat* old);

// Keeps a copy of the file open as `number` (all its bytes, whatever was read of it, and its
// mode) as "PATH.damaged" beside `path`, the name it was opened by; `copy` gets that name. A
// copy of other bytes there already is never overwritten: it is renamed "PATH.damaged.N", the
// lowest N from 1 that is free; one of the same bytes is kept as it is. 0, or the errno of the
// step that failed (nothing half made is left).
int file_keep_copy(int32_t number, const std::string& path, std::string& copy);
