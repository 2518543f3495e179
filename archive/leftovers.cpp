#include "archive/leftovers.h"

#include <atomic>
#include <chrono>
#include <cstdint>

#include "archive/messages.h"
#include "platform/platform.h"

namespace vellum {
namespace {

constexpr const char* kDeleteMark = ".del-";
constexpr const char* kTempSuffix = ".tmp";
constexpr size_t kUniqueDigits = 16;

// The folder part of a path, with its separator; empty when there is none.
std::string folder_of(const std::string& path) {
    const size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string name_of(const std::string& path) {
    const size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? path : path.substr(last + 1);
}

uint64_t mixed(uint64_t x) {
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    return x ^ (x >> 33);
}

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

std::string unique_name(const std::string& folder, const std::string& prefix,
                        const std::string& suffix) {
    static std::atomic<uint64_t> counter{0};
    static const int here = 0;  // its address differs between processes that randomise it
    const uint64_t now = static_cast<uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    const uint64_t value = mixed(now ^ mixed(reinterpret_cast<uintptr_t>(&here)) ^
                                 mixed(platform::process_number() + (counter++ << 40)));
    static const char digits[] = "0123456789abcdef";
    std::string hex(kUniqueDigits, '0');
    for (size_t i = 0; i < kUniqueDigits; ++i) hex[i] = digits[(value >> (4 * i)) & 15];
    return folder + prefix + hex + suffix;
}

FILE* create_delete_temp(const std::string& archive_path, std::string* temp_path) {
    const std::string folder = folder_of(archive_path);
    const std::string prefix = name_of(archive_path) + kDeleteMark;
    // A clash with an existing name only costs another try.
    for (int attempt = 0; attempt < 64; ++attempt) {
        *temp_path = unique_name(folder, prefix, kTempSuffix);
        if (FILE* file = platform::create_new_file(temp_path->c_str())) return file;
    }
    temp_path->clear();
    return nullptr;
}

bool is_delete_temp_name(const std::string& name, const std::string& archive_name) {
    const std::string prefix = archive_name + kDeleteMark;
    const size_t suffix_length = std::char_traits<char>::length(kTempSuffix);
    if (name.size() != prefix.size() + kUniqueDigits + suffix_length) return false;
    if (name.compare(0, prefix.size(), prefix) != 0) return false;
    if (name.compare(name.size() - suffix_length, suffix_length, kTempSuffix) != 0) return false;
    for (size_t i = prefix.size(); i < prefix.size() + kUniqueDigits; ++i)
        if (!is_hex(name[i])) return false;
    return true;
}

std::vector<std::string> find_delete_temps(const std::string& archive_path) {
    const std::string folder = folder_of(archive_path);
    const std::string archive_name = name_of(archive_path);
    std::vector<platform::FolderItem> items;
    std::vector<std::string> found;
    if (!platform::list_folder(folder.empty() ? "." : folder.c_str(), &items)) return found;
    for (const platform::FolderItem& item : items)
        if (!item.is_folder && is_delete_temp_name(item.name, archive_name))
            found.push_back(folder + item.name);
    return found;
}

size_t remove_delete_temps(const std::string& archive_path, Reporter& reporter) {
    size_t removed = 0;
    for (const std::string& path : find_delete_temps(archive_path)) {
        if (!platform::remove_file(path.c_str())) continue;
        report(reporter, msg::kLeftoverRemoved, path);
        ++removed;
    }
    return removed;
}

}  // namespace vellum
