// Watching the entries an extraction writes. In `to_stdout` and `check` modes the
// extract driver writes each entry into a private scratch folder; as soon as an
// entry is complete its bytes are hashed (and in `to_stdout` mode copied to
// standard output, which carries nothing else) and the file removed. In `watch`
// mode the files stay where they were written and only their paths are kept.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "archive/report.h"

namespace vellum {
namespace cli {

enum class SpoolMode { watch, to_stdout, check };

class StdoutSpool : public Reporter {
public:
    StdoutSpool(Reporter& inner, SpoolMode mode = SpoolMode::to_stdout) : inner_(inner), mode_(mode) {}
    ~StdoutSpool() override;

    // Makes the scratch folder below the system's temporary folder; false when
    // none could be made.
    bool open();
    const std::string& folder() const { return folder_; }
    bool failed() const { return failed_; }  // standard output could not be written

    void message(const Message& message) override { inner_.message(message); }
    void progress(const ProgressEvent& event) override;
    bool stop_requested() override { return inner_.stop_requested(); }

    // Output path of every entry written, with its checksum (0 in watch mode).
    // A path written twice keeps the last.
    const std::map<std::string, uint64_t>& written() const { return written_; }

private:
    Reporter& inner_;
    SpoolMode mode_;
    std::string folder_;
    bool failed_ = false;
    std::map<std::string, uint64_t> written_;
};

}  // namespace cli
}  // namespace vellum
