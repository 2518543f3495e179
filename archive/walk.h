// The one walk every add takes through its sources, and the count of what an
// add will read. A source is a file, or a folder with everything below it; each
// item found is handed to a visitor with its path on disk and the names it will
// be stored under. The walk decides what is never added, the same way for every
// caller: pipes, sockets and devices; names that extraction would not give back
// as they are; the archive being written; a folder already on the way down (a
// cycle through a link). Links are followed (a link counts as what it leads to),
// or, when asked, handed over as links and never followed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/messages.h"
#include "platform/file_info.h"

namespace vellum {

struct WalkOptions {
    // Hand links over as links (their text), never following them; otherwise a
    // link counts as what it leads to.
    bool record_links = false;
    // Read every item's attributes (mode, time, size); otherwise only its kind.
    bool attributes = false;
    // True for a stored path (docs\sub\b.txt, or docs\sub for a folder) to leave
    // out; a folder left out is not entered.
    std::function<bool(const std::string& stored)> exclude;
    // The archive being written, never added to itself.
    bool archive_known = false;
    platform::FolderId archive;
    // The copy of the archive being written, when there is one.
    bool staging_known = false;
    platform::FolderId staging;
};

class WalkVisitor {
public:
    virtual ~WalkVisitor() = default;
    // A regular file (or, following links, what a link leads to). `folder_path`
    // is its stored folder (empty, or ending in a backslash), `name` its stored
    // name. `info` holds its attributes when they were asked for.
    virtual void file(const std::string& path, const std::string& folder_path, const std::string& name,
                      const platform::ItemInfo& info) = 0;
    // A folder about to be walked; `stored` without a trailing backslash (empty
    // for a root folder, whose items stand at the top).
    virtual void folder(const std::string& path, const std::string& stored, const platform::ItemInfo& info) {
        (void)path, (void)stored, (void)info;
    }
    // A link, when links are recorded.
    virtual void link(const std::string& path, const std::string& stored, const std::string& target,
                      const platform::ItemInfo& info) {
        (void)path, (void)stored, (void)target, (void)info;
    }
    // Something left out, with why; to be reported in its turn. `error`: the
    // system's reason, when there is one.
    virtual void left_out(const MessageText& why, const std::string& path, int error) = 0;
    // True once the walk should end (the command failed or was stopped).
    virtual bool ended() { return false; }
};

// Walks one source, a file or a folder named by the user. Its own name is the
// last part of the path ("." and ".." stand for the folder they lead to); a
// root folder has none, so the items below it are stored at the top.
void walk_source(const std::string& path, const WalkOptions& options, WalkVisitor& visitor);

// The last part of a path, trailing separators ignored; empty for a root folder.
std::string own_name(const std::string& path);

// Bytes an add of `path` will read: a file's size, or the sizes of every file
// below a folder, with the walk's rules (for a progress bar's end).
uint64_t bytes_below(const std::string& path);

}  // namespace vellum
