// Where a journey's saves live and how the files beside them are named,
// kept aside and tidied: all through the storage in use (base/storage.h).
#pragma once

#include <string>

namespace tervalon {

// The data folder ($XDG_DATA_HOME/tervalon, ~/.local/share/tervalon when
// unset), made when missing; empty with the reason in `why` when there is none.
std::string data_folder(std::string& why);

// A name beside `path` that is free: "PATH.LABEL" or "PATH.LABEL-N".
std::string free_name(const std::string& path, const std::string& label);

// Removes the temporary files that a game killed while saving `path` left
// beside it (PATH.PID.tmp, PATH.bak.PID.tmp). Only for the holder of its lock.
void remove_stray_temporaries(const std::string& path);

// Moves the file (or anything) at `path` to a free name beside it,
// "PATH.LABEL" or "PATH.LABEL-N", and returns the name; empty when it could
// not be moved.
std::string move_aside(const std::string& path, const std::string& label);

}  // namespace tervalon
