#include "app/paths.h"

#include <cstring>

namespace vellum {
namespace app {

bool CopyText(char (&out)[kTextSize], const std::string& text) {
    if (text.size() >= static_cast<size_t>(kTextSize)) return false;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

std::string JoinFolder(const std::string& folder, const std::string& name, char separator) {
    if (folder.empty()) return name;
    return folder + separator + name;
}

std::string ParentFolder(const std::string& folder, char separator) {
    const size_t last = folder.rfind(separator);
    return last == std::string::npos ? std::string() : folder.substr(0, last);
}

bool ParentLeavesDrive(const std::string& folder, char separator) {
    return ParentFolder(folder, separator).size() < 3;
}

std::string WithTrailingSeparator(const std::string& folder, char separator) {
    if (folder.empty()) return folder;
    return folder + separator;
}

}  // namespace app
}  // namespace vellum
