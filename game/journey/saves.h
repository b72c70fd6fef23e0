// The files a game killed while saving leaves beside a journey's save, and
// their tidying; everything else about the files is the storage's
// (base/storage.h).
#pragma once

#include <string>

namespace tervalon {

// Removes the temporary files that a game killed while saving `path` left
// beside it (PATH.PID.tmp, PATH.bak.PID.tmp). Only for the holder of its lock.
void remove_stray_temporaries(const std::string& path);

}  // namespace tervalon
