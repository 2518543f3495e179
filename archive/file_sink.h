// An entry written as a file of the destination tree. The bytes go into a new
// temporary in the destination, readable by its owner alone; once the entry has
// decoded completely (and matched its checksum, when metadata has one) the file
// gets its mode and time through the open file and is renamed into its folder,
// made then, in archive order. A file or link at that name is replaced, never
// written through; a folder there, or the archive being read, is never replaced;
// a link on the way refuses the entry. Nothing else is ever left behind.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "archive/entry_sink.h"
#include "archive/extract_tree.h"

namespace vellum {

class TreeFileSink : public EntrySink {
public:
    // `parts` and `name`: where the entry goes below the destination, native form;
    // `stored`: its stored path, for messages about the entry itself.
    TreeFileSink(ExtractTree& tree, std::vector<std::string> parts, std::string name, const ExpectedFile& expected);
    ~TreeFileSink() override;
    TreeFileSink(const TreeFileSink&) = delete;
    TreeFileSink& operator=(const TreeFileSink&) = delete;

    bool write(const uint8_t* data, size_t size) override;
    bool close() override;
    int error() const override { return error_; }
    SinkOutcome finish(bool whole, Reporter& reporter) override;
    void reset() override;

    // Where the file goes, as the user sees it.
    std::string shown() const { return shown_path(tree_, parts_, name_); }

private:
    bool open_temporary();
    void drop_temporary();
    // Gives the checked temporary its place; reports and returns false when it cannot.
    bool place(Reporter& reporter);

    ExtractTree& tree_;
    const std::vector<std::string> parts_;
    const std::string name_;
    const ExpectedFile expected_;
    FILE* file_ = nullptr;
    std::string temporary_;  // its name in the destination
    bool created_ = false;   // the temporary exists
    int error_ = 0;          // the first failure's reason
    bool create_failed_ = false;
    Checksum sum_;
};

}  // namespace vellum
