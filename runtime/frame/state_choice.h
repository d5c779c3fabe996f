// Which state file a run reads and writes: the --state file's checks and the preset swarms.
#pragma once
#include <string>
#include <vector>

// A folder in which a file can really be created (a probe file is made and removed); errno
// says why not.
bool frame_folder_writable(const std::string& dir);
// Why `path` cannot serve as the state file ("" when it can): it is a folder or no plain file,
// it exists but cannot be read, or the folder it is saved in (after its links) cannot be
// written. A missing file is fine: the first save creates it.
std::string frame_state_file_problem(const std::string& path);

// The preset folder of a program in `prog_dir`: under the installed data folder for an
// installed program, else the source tree's. Empty when there is none.
std::string frame_preset_dir(const std::string& prog_dir, bool installed);
// The presets in `dir` (files NAME.dat, NAME of lower-case letters, digits and "-"), sorted.
std::vector<std::string> frame_preset_names(const std::string& dir);
// The file of preset `name` in `dir`, or empty when there is no such preset.
std::string frame_preset_file(const std::string& dir, const std::string& name);
