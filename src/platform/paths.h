// Where things are on this system.
#pragma once

#include <string>

namespace tq::platform {

// The user's profile folder (the home folder).
std::string home_folder();
// The per-user runtime folder (XDG_RUNTIME_DIR, or a private fallback).
std::string runtime_folder();
// The running program's own absolute path, found from the kernel; argv0 when
// that cannot be read.
std::string own_program_path(const char* argv0);
// The user's Downloads folder; the home folder when the desktop names none.
std::string downloads_folder();
// True when path is a folder whose entries this user may list.
bool folder_readable(const std::string& path);

} // namespace tq::platform
