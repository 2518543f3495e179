#include "archive/incompressible.h"

#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "archive/checksum.h"
#include "platform/platform.h"

namespace vellum {
namespace {

struct IdHash {
    size_t operator()(const platform::FolderId& id) const {
        return static_cast<size_t>(id.index * 0x9E3779B97F4A7C15ull ^ id.volume);
    }
};
struct IdEqual {
    bool operator()(const platform::FolderId& a, const platform::FolderId& b) const {
        return platform::same_folder(a, b);
    }
};

// Reads the first kStartBytes of every file the walk hands over.
class StartReader : public WalkVisitor {
public:
    explicit StartReader(SharedStarts& starts) : starts_(starts) {}
    void file(const std::string& path, const std::string&, const std::string&,
              const platform::ItemInfo& info) override {
        // A file met under a second name is one file (an add with metadata keeps
        // it once, as a hard link).
        if (info.links > 1 && info.id.index != 0 && !seen_.insert(info.id).second) return;
        bool special = false;
        FILE* file = platform::open_regular_file(path.c_str(), &special);
        if (!file) return;
        const size_t got = std::fread(buffer_, 1, sizeof buffer_, file);
        std::fclose(file);
        starts_.note(start_fingerprint(buffer_, got));
    }
    void left_out(const MessageText&, const std::string&, int) override {}

private:
    SharedStarts& starts_;
    std::unordered_set<platform::FolderId, IdHash, IdEqual> seen_;
    uint8_t buffer_[kStartBytes];
};

}  // namespace

double order0_entropy(const uint8_t* bytes, size_t count) {
    if (count == 0) return 0.0;
    uint64_t counts[256] = {};
    for (size_t i = 0; i < count; ++i) ++counts[bytes[i]];
    const double n = static_cast<double>(count);
    double bits = 0.0;
    unsigned distinct = 0;
    for (uint64_t c : counts) {
        if (c == 0) continue;
        ++distinct;
        const double p = static_cast<double>(c) / n;
        bits -= p * std::log2(p);
    }
    return bits + static_cast<double>(distinct - 1) / (2.0 * n * std::log(2.0));
}

bool looks_random(const uint8_t* first, size_t available) {
    const size_t sample = available < kEntropySample ? available : kEntropySample;
    return sample >= kEntropyLeast && order0_entropy(first, sample) >= kRandomBits;
}

uint64_t start_fingerprint(const uint8_t* first, size_t available) {
    const size_t start = available < kStartBytes ? available : kStartBytes;
    Checksum sum;
    sum.update(first, start);
    const uint8_t whole = available < kStartBytes ? 1 : 0;  // the file ends within its start
    sum.update(&whole, 1);
    return sum.digest();
}

void find_shared_starts(const std::vector<std::string>& sources, const WalkOptions& options,
                        SharedStarts* starts) {
    WalkOptions walk = options;
    walk.attributes = true;  // identities, to read a file with several names once
    StartReader reader(*starts);
    for (const std::string& source : sources) walk_source(source, walk, reader);
}

bool store_in_solid_run(const uint8_t* first, size_t available, uint64_t size, const SharedStarts& starts) {
    if (size <= kNeverSmaller) return true;
    return looks_random(first, available) && !starts.shared(start_fingerprint(first, available));
}

}  // namespace vellum
