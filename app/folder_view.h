// The folder view's reading of a disk folder, open for tests.
#pragma once

#include <string>
#include <vector>

namespace vellum {
namespace app {

// Sub-folders and other entries of one enumeration, in the order found, each
// list holding at most as many names as the grid has rows.
struct FolderNames {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};

// Appends the entries of folder ("." and ".." left out) to the two lists.
void EnumerateFolder(const std::string& folder, FolderNames* names);

// The "Size" cell of a file: its size in decimal, "-" when it cannot be opened
// or is no regular file, "-1" when its end cannot be read.
std::string FileSizeText(const std::string& path);

}  // namespace app
}  // namespace vellum
