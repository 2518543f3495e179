#include "archive/standalone_entry.h"

#include <cstring>
#include <memory>

#include "archive/file_class.h"
#include "codec/codec_state.h"
#include "codec/entry_coder.h"

namespace vellum {
namespace {

// The tables and the normal run one standalone entry is coded in.
struct OwnRun {
    std::unique_ptr<CodecState> state{new (std::nothrow) CodecState()};
    EntryRun run;
    bool begun = false;

    bool start() {
        begun = state && state->begin_operation();
        return begun && start_run(run, RunMode::normal,
                                  static_cast<size_t>(block_size_for_setting(kStandaloneBlockSetting)));
    }
    ~OwnRun() {
        end_run(run);
        if (begun) state->end_operation();
    }
};

class StringOutput : public OutputSink {
public:
    explicit StringOutput(std::string* out) : out_(out) {}
    bool write(const uint8_t* data, size_t size) override {
        out_->append(reinterpret_cast<const char*>(data), size);
        return true;
    }

private:
    std::string* out_;
};

class StringInput : public InputSource {
public:
    explicit StringInput(const std::string& text) : text_(text) {}
    size_t read(uint8_t* data, size_t size) override {
        const size_t n = std::min(size, text_.size() - at_);
        std::memcpy(data, text_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    const std::string& text_;
    size_t at_ = 0;
};

}  // namespace

bool stands_alone(const std::string& folder_path) { return folder_path == kOwnFolder; }

bool encode_standalone(const std::string& text, uint16_t file_class, uint16_t* class_written, std::string* data) {
    data->clear();
    *class_written = kStoredClass;
    CodecParams params;
    OwnRun own;
    if (text.empty() || !codec_params_for_class(file_class, false, &params) || params.store_raw) {
        *data = text;
        return true;
    }
    if (!own.start()) return false;
    StringOutput output(data);
    StringInput input(text);
    {
        ByteWriter out(output);
        const EntryOutcome outcome = encode_entry(*own.state, own.run, params, input, text.size(), out, EntryHooks{});
        if (outcome.end != EntryEnd::complete || !out.flush()) return false;
    }
    if (data->size() >= text.size()) {
        *data = text;  // stored: coding did not pay
        return true;
    }
    *class_written = file_class;
    return true;
}

bool decode_standalone(uint16_t file_class, InputSource& coded, uint64_t coded_length, uint64_t size,
                       OutputSink* sink) {
    CodecParams params;
    if (!codec_params_for_class(file_class, false, &params)) return false;
    OwnRun own;
    if (!own.start()) return false;
    const EntryOutcome outcome =
        decode_entry(*own.state, own.run, params, coded, coded_length, size, sink, EntryHooks{});
    return outcome.end == EntryEnd::complete;
}

}  // namespace vellum
