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

// The text coded with `file_class` into *coded; false when the class stores
// its bytes, or coding does not pay, or memory runs out (*failed then).
bool code_text(const std::string& text, uint16_t file_class, std::string* coded, bool* failed) {
    CodecParams params;
    if (text.empty() || !codec_params_for_class(file_class, false, &params) || params.store_raw) return false;
    OwnRun own;
    *failed = !own.start();
    if (*failed) return false;
    StringSink output(coded);
    MemorySource input(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    ByteWriter out(output);
    const EntryOutcome outcome = encode_entry(*own.state, own.run, params, input, text.size(), out, EntryHooks{});
    *failed = outcome.end != EntryEnd::complete || !out.flush();
    return !*failed && coded->size() < text.size();
}

void put_le(std::string* out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t get_le(const uint8_t* in, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | in[i];
    return value;
}

// Reads exactly `size` bytes; false at an early end.
bool read_exactly(InputSource& in, uint8_t* data, size_t size) {
    while (size > 0) {
        const size_t n = in.read(data, size);
        if (n == 0) return false;
        data += n;
        size -= n;
    }
    return true;
}

}  // namespace

bool stands_alone(const std::string& folder_path) { return folder_path == kOwnFolder; }

bool encode_standalone(const std::string& text, uint16_t file_class, bool in_solid, StandaloneRecord* out) {
    std::string coded;
    bool failed = false;
    const bool pays = code_text(text, file_class, &coded, &failed) &&
                      (!in_solid || coded.size() + kWrappedHeadSize < text.size());
    if (failed) return false;
    out->data.clear();
    if (!pays) {
        out->file_class = kStoredClass;
        out->data = text;
    } else if (!in_solid) {
        out->file_class = file_class;
        out->data = std::move(coded);
    } else {
        out->file_class = kStoredClass;
        out->data.assign(kWrappedMark, sizeof kWrappedMark);
        put_le(&out->data, file_class, 2);
        put_le(&out->data, text.size(), 8);
        out->data += coded;
    }
    out->original_size = out->file_class == kStoredClass ? out->data.size() : text.size();
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

bool read_standalone_text(uint16_t file_class, InputSource& coded, uint64_t coded_length, uint64_t size,
                          uint64_t most, std::string* text) {
    text->clear();
    StringSink output(text);
    uint8_t head[kWrappedHeadSize];
    if (file_class != kStoredClass || size < kWrappedHeadSize) {
        if (size > most) return false;
        text->reserve(static_cast<size_t>(size));
        return decode_standalone(file_class, coded, coded_length, size, &output) && text->size() == size;
    }
    // Stored: the record holds exactly its size, a wrapped text or the text itself.
    if (coded_length != size || !read_exactly(coded, head, sizeof head)) return false;
    if (std::memcmp(head, kWrappedMark, sizeof kWrappedMark) != 0) {
        if (size > most) return false;
        text->reserve(static_cast<size_t>(size));
        text->assign(reinterpret_cast<const char*>(head), sizeof head);
        return decode_standalone(kStoredClass, coded, size - sizeof head, size - sizeof head, &output) &&
               text->size() == size;
    }
    const uint16_t inner_class = static_cast<uint16_t>(get_le(head + 4, 2));
    const uint64_t inner_size = get_le(head + 6, 8);
    CodecParams params;
    if (inner_size > most || !codec_params_for_class(inner_class, false, &params) || params.store_raw) return false;
    text->reserve(static_cast<size_t>(inner_size));
    return decode_standalone(inner_class, coded, size - sizeof head, inner_size, &output) &&
           text->size() == inner_size;
}

}  // namespace vellum
