// extract --stdout: the extract driver writes each selected entry into a private
// scratch folder; as soon as an entry is complete its bytes are copied to
// standard output and the file removed. Standard output carries nothing else.
#pragma once

#include <string>

#include "archive/report.h"

namespace vellum {
namespace cli {

class StdoutSpool : public Reporter {
public:
    explicit StdoutSpool(Reporter& inner) : inner_(inner) {}
    ~StdoutSpool() override;

    // Makes the scratch folder below the system's temporary folder; false when
    // none could be made.
    bool open();
    const std::string& folder() const { return folder_; }
    bool failed() const { return failed_; }  // standard output could not be written

    void message(const std::string& text, const std::string& caption, unsigned flags) override {
        inner_.message(text, caption, flags);
    }
    void progress(const ProgressEvent& event) override;

private:
    Reporter& inner_;
    std::string folder_;
    bool failed_ = false;
};

}  // namespace cli
}  // namespace vellum
