#include "archive/extract_tree.h"

#include "archive/entry_path.h"

namespace vellum {

platform::FolderOpen ExtractTree::open(const std::string& destination, int* error) {
    destination_ = destination;
    cached_parts_.clear();
    chain_.clear();
    return platform::open_destination(destination.empty() ? "." : destination, true, &root_, error);
}

platform::FolderOpen ExtractTree::folder(const std::vector<std::string>& parts, bool create,
                                         const platform::Folder** out, int* error) {
    size_t same = 0;
    while (same < parts.size() && same < cached_parts_.size() && parts[same] == cached_parts_[same]) ++same;
    cached_parts_.resize(same);
    chain_.resize(same);
    for (size_t i = same; i < parts.size(); ++i) {
        const platform::Folder& parent = i == 0 ? root_ : chain_[i - 1];
        platform::Folder child;
        const platform::FolderOpen opened = platform::open_child(parent, parts[i], create, &child, error);
        if (opened != platform::FolderOpen::ok) return opened;
        chain_.push_back(std::move(child));
        cached_parts_.push_back(parts[i]);
    }
    *out = parts.empty() ? &root_ : &chain_.back();
    return platform::FolderOpen::ok;
}

std::string shown_path(const ExtractTree& tree, const std::vector<std::string>& parts, const std::string& name) {
    std::string path = with_separator(tree.destination());
    for (const std::string& part : parts) path += part + kNativeSeparator;
    return path + name;
}

}  // namespace vellum
