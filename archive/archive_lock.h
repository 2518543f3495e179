// Opening an archive for one whole command, under a lock that keeps other
// commands out: shared for the commands that only read it, exclusive for those
// that change it. The stream stays open until the command ends, so a rename of
// the archive's name in the meantime cannot switch the file under it.
#pragma once

#include <cstdio>
#include <string>

#include "archive/report.h"

namespace vellum {

enum class LockedOpen {
    ok,
    cannot_open,  // the file could not be opened in that mode (nothing reported)
    busy,         // another command holds the archive: reported, nothing done
};

// Opens `path` in `mode` ("rb" or "rb+") and locks it without waiting. When the
// name was given to another file between the open and the lock (a delete that
// replaced the archive), it opens again, so the lock is always on the file the
// name leads to. nullptr unless ok.
FILE* open_locked(const std::string& path, const char* mode, bool exclusive, Reporter& reporter,
                  LockedOpen* result);

}  // namespace vellum
