// The destination of an extraction as one tree of open folders. Every folder,
// file and link extraction creates or changes is reached from the destination's
// handle one level at a time (platform/output_tree.h), so no name is ever
// resolved through a link, whether the archive made it, it was there before, or
// another process swaps one in meanwhile. Entries are decoded into temporaries
// in the destination itself and given their place one at a time, in archive
// order, on the command's thread: folders are made then, so which of two
// entries that disagree (a file `a`, then a file `a\b`) wins never depends on
// how many threads decoded them.
#pragma once

#include <string>
#include <vector>

#include "platform/output_tree.h"

namespace vellum {

class ExtractTree {
public:
    // Opens the destination (`destination`, native form, "" for the current
    // folder; created with every missing level). It may be reached through links: it is the user's choice.
    platform::FolderOpen open(const std::string& destination, int* error);
    const platform::Folder& root() const { return root_; }
    // The destination as named, for messages.
    const std::string& destination() const { return destination_; }

    // The folder of `parts` below the destination, each level opened from the one
    // above, refusing links; made when missing and `create`. *out stays valid
    // until the next call. The command's thread only.
    platform::FolderOpen folder(const std::vector<std::string>& parts, bool create, const platform::Folder** out,
                                int* error);

    // The archive being read, never to be replaced by anything extracted.
    void set_archive(const platform::FolderId& id) {
        archive_ = id;
        archive_known_ = true;
    }
    bool is_archive(const platform::ItemInfo& info) const {
        return archive_known_ && info.kind == platform::InfoKind::file && platform::same_folder(info.id, archive_);
    }

private:
    platform::Folder root_;
    std::string destination_;
    // The folders of the last path asked for, kept open: entries mostly come
    // folder by folder, so most need no new open at all.
    std::vector<std::string> cached_parts_;
    std::vector<platform::Folder> chain_;
    platform::FolderId archive_;
    bool archive_known_ = false;
};

// The destination and a stored path joined for messages (native form).
std::string shown_path(const ExtractTree& tree, const std::vector<std::string>& parts, const std::string& name);

}  // namespace vellum
