#include "meta/archive_meta.h"

#include <memory>

#include "archive/file_class.h"
#include "codec/codec_state.h"
#include "codec/entry_coder.h"
#include "archive/messages.h"
#include "platform/platform.h"

namespace vellum {
namespace {

// Metadata is small text; anything larger is not ours.
constexpr uint64_t kMaxMetaBytes = uint64_t{256} << 20;

// The decoded text, kept up to the limit.
class TextSink : public OutputSink {
public:
    explicit TextSink(std::string* text) : text_(text) {}
    bool write(const uint8_t* data, size_t size) override {
        if (size > kMaxMetaBytes - text_->size()) return false;
        text_->append(reinterpret_cast<const char*>(data), size);
        return true;
    }

private:
    std::string* text_;
};

// The bytes of a record's data, from the archive, each read after a seek.
class RecordData : public InputSource {
public:
    RecordData(FILE* file, uint64_t at) : file_(file), at_(at) {}
    size_t read(uint8_t* data, size_t size) override {
        if (!platform::seek_to(file_, at_)) return 0;
        const size_t got = std::fread(data, 1, size, file_);
        at_ += got;
        return got;
    }

private:
    FILE* file_;
    uint64_t at_;
};

// Tables and a block buffer of their own for the coded metadata entries of a
// normal archive, made at the first one: metadata is read before any command
// codes, and without one.
struct MetaDecoder {
    std::unique_ptr<CodecState> state;
    EntryRun run;
    bool tried = false;

    bool ready(FILE* archive) {
        if (tried) return run.block != nullptr;
        tried = true;
        ArchiveHeader header;
        if (!platform::seek_to(archive, 0) || read_archive_header(archive, &header) != HeaderResult::ok ||
            header.solid != 0)
            return false;  // a solid run's entry decodes only after every entry before it
        state = std::make_unique<CodecState>();
        if (!state->begin_operation()) return false;
        return start_run(run, RunMode::normal, static_cast<size_t>(block_size_for_setting(header.buffer_setting)));
    }
    ~MetaDecoder() {
        if (state && tried) state->end_operation();
    }
};

// The entry's data: read as it is when stored, decoded into memory when coded
// (normal archives only). Never more than kMaxMetaBytes.
bool read_meta_data(FILE* archive, const ListingEntry& entry, MetaDecoder& decoder, std::string* data) {
    const uint64_t head = record_head_size(entry.folder_path.size(), entry.file_name.size());
    if (entry.original_size > kMaxMetaBytes || entry.record_length < head) return false;
    const uint64_t length = entry.record_length - head;
    if (entry.file_class == kStoredClass) {
        if (length != entry.original_size) return false;
        data->assign(static_cast<size_t>(entry.original_size), '\0');
        return platform::seek_to(archive, entry.offset + head) &&
               std::fread(&(*data)[0], 1, data->size(), archive) == data->size();
    }
    CodecParams params;
    if (!codec_params_for_class(entry.file_class, false, &params) || !decoder.ready(archive)) return false;
    data->clear();
    RecordData coded(archive, entry.offset + head);
    TextSink sink(data);
    const EntryOutcome outcome =
        decode_entry(*decoder.state, decoder.run, params, coded, length, entry.original_size, &sink, EntryHooks{});
    return outcome.end == EntryEnd::complete && data->size() == entry.original_size;
}

bool describes(const ListingEntry& e, const MetaLines& text, const MetaLine& m) {
    return e.original_size == m.size && e.record_length == m.record_length &&
           e.folder_path.size() + e.file_name.size() == m.path_size && e.folder_path + e.file_name == text.path(m);
}

}  // namespace

bool is_meta_entry(const ListingEntry& entry) {
    return entry.folder_path == kMetaFolder && entry.file_name == kMetaName;
}

size_t ArchiveMeta::file_entries() const {
    size_t count = 0;
    for (bool r : reserved) count += r ? 0 : 1;
    return count;
}

// Walks back from the metadata entry, pairing its F lines, last first, with the
// records before it: a line whose record is gone (deleted) is passed over.
void pair_lines(const std::vector<ListingEntry>& entries, size_t at, uint32_t text, ArchiveMeta* meta) {
    const MetaLines& lines = meta->texts[text];
    size_t entry = at;
    size_t line = lines.lines().size();
    while (line > 0 && entry > 0) {
        const MetaLine& m = lines.lines()[line - 1];
        if (m.kind != MetaKind::file) {
            --line;
            continue;
        }
        if (meta->reserved[entry - 1]) break;  // an earlier command's metadata
        if (describes(entries[entry - 1], lines, m)) {
            meta->of_entry[entry - 1] = MetaRef{text, static_cast<uint32_t>(line - 1)};
            --entry;
        }
        --line;
    }
}

void read_archive_meta(FILE* archive, const std::string& archive_path, const std::vector<ListingEntry>& entries,
                       Reporter& reporter, ArchiveMeta* meta) {
    *meta = ArchiveMeta();
    const size_t count = entries.size();
    MetaDecoder decoder;
    meta->reserved.assign(count, false);
    meta->of_entry.assign(count, MetaRef{});
    for (size_t i = 0; i < count; ++i) {
        if (!is_meta_entry(entries[i])) continue;
        meta->reserved[i] = true;
        std::string data;
        MetaLines lines;
        const MetaParse parsed = read_meta_data(archive, entries[i], decoder, &data) ? decode_meta(data, &lines)
                                                                            : MetaParse::damaged;
        if (parsed != MetaParse::ok) {
            report(reporter, msg::kMetaUnreadable,
                   archive_path + " @ " + std::to_string(entries[i].offset) +
                       (parsed == MetaParse::newer_version ? " (a newer version)" : ""));
            continue;
        }
        meta->present = true;
        const uint32_t text = static_cast<uint32_t>(meta->texts.size());
        meta->texts.push_back(std::move(lines));
        meta->text_entry.push_back(i);
        pair_lines(entries, i, text, meta);
        const std::vector<MetaLine>& all = meta->texts[text].lines();
        for (uint32_t k = 0; k < all.size(); ++k) {
            if (all[k].kind == MetaKind::folder) meta->folders.push_back(MetaRef{text, k});
            if (all[k].kind == MetaKind::link) meta->links.push_back(MetaRef{text, k});
        }
    }
}

}  // namespace vellum
