#include "archive/format.h"

#include <cstring>

#include "platform/platform.h"

namespace vellum {

const unsigned char kSignature[kSignatureLength] = {0xB0, 'V', 'e', 'l', 'l', 'u', 'm', 0xB0};

// --- fields -------------------------------------------------------------------------

static bool write_bytes(FILE* file, const void* bytes, size_t count) {
    return count == 0 || std::fwrite(bytes, 1, count, file) == count;
}

static bool read_bytes(FILE* file, void* bytes, size_t count) {
    return count == 0 || std::fread(bytes, 1, count, file) == count;
}

bool write_u16(FILE* file, uint16_t value) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(value),
                                    static_cast<unsigned char>(value >> 8)};
    return write_bytes(file, bytes, 2);
}

bool write_u64(FILE* file, uint64_t value) {
    unsigned char bytes[8];
    for (int k = 0; k < 8; ++k) bytes[k] = static_cast<unsigned char>(value >> (8 * k));
    return write_bytes(file, bytes, 8);
}

bool read_u16(FILE* file, uint16_t* value) {
    unsigned char bytes[2];
    if (!read_bytes(file, bytes, 2)) return false;
    *value = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
    return true;
}

bool read_u64(FILE* file, uint64_t* value) {
    unsigned char bytes[8];
    if (!read_bytes(file, bytes, 8)) return false;
    uint64_t v = 0;
    for (int k = 7; k >= 0; --k) v = (v << 8) | bytes[k];
    *value = v;
    return true;
}

bool write_name(FILE* file, const std::string& name) {
    if (name.size() > 0xFFFF) return false;
    return write_u16(file, static_cast<uint16_t>(name.size())) &&
           write_bytes(file, name.data(), name.size());
}

bool read_name(FILE* file, std::string* name, uint64_t room) {
    uint16_t length = 0;
    if (!read_u16(file, &length) || length > room) return false;
    name->assign(length, '\0');
    return read_bytes(file, &(*name)[0], length);
}

// --- header -------------------------------------------------------------------------

bool write_archive_header(FILE* file, const ArchiveHeader& header) {
    const std::string signature(reinterpret_cast<const char*>(kSignature), kSignatureLength);
    const unsigned char mode[2] = {header.solid, header.buffer_setting};
    return write_name(file, signature) && write_bytes(file, mode, 2);
}

HeaderResult read_archive_header(FILE* file, ArchiveHeader* header) {
    uint16_t length = 0;
    // Any other stored length is not ours, and is never used to size a read.
    if (!read_u16(file, &length) || length != kSignatureLength) return HeaderResult::not_archive;
    unsigned char signature[kSignatureLength];
    if (!read_bytes(file, signature, kSignatureLength) ||
        std::memcmp(signature, kSignature, kSignatureLength) != 0)
        return HeaderResult::not_archive;
    unsigned char mode[2];
    if (!read_bytes(file, mode, 2)) return HeaderResult::not_archive;
    if (mode[0] > 1 || mode[1] > kMaxBufferSetting) return HeaderResult::bad_settings;
    header->solid = mode[0];
    header->buffer_setting = mode[1];
    return HeaderResult::ok;
}

// --- records ------------------------------------------------------------------------

namespace {

void append_le(std::vector<uint8_t>* bytes, uint64_t value, int width) {
    for (int k = 0; k < width; ++k) bytes->push_back(static_cast<uint8_t>(value >> (8 * k)));
}

void append_name(std::vector<uint8_t>* bytes, const std::string& name) {
    append_le(bytes, name.size(), 2);
    bytes->insert(bytes->end(), name.begin(), name.end());
}

}  // namespace

bool record_head_bytes(const RecordHead& head, std::vector<uint8_t>* bytes) {
    if (head.folder_path.size() > 0xFFFF || head.file_name.size() > 0xFFFF) return false;
    bytes->clear();
    append_le(bytes, head.record_length, 8);
    append_le(bytes, head.original_size, 8);
    append_le(bytes, head.reserved, 2);
    append_name(bytes, head.folder_path);
    append_name(bytes, head.file_name);
    return true;
}

std::vector<uint8_t> class_field_bytes(uint16_t file_class) {
    std::vector<uint8_t> bytes;
    append_le(&bytes, file_class, 2);
    return bytes;
}

bool write_record_head(FILE* file, const RecordHead& head) {
    std::vector<uint8_t> bytes;
    return record_head_bytes(head, &bytes) && write_bytes(file, bytes.data(), bytes.size());
}

// Bytes of `room` left after `used` of them, 0 when none.
static uint64_t room_after(uint64_t room, uint64_t used) { return room > used ? room - used : 0; }

// The record length is already read: the fields from the original size to the
// name. `room` counts from the record's start; each name must fit in what is left.
static bool read_record_head_rest(FILE* file, RecordHead* head, uint64_t room) {
    constexpr uint64_t kBeforeFolder = 8 + 8 + 2 + 2;  // up to the folder path's bytes
    if (!read_u64(file, &head->original_size) || !read_u16(file, &head->reserved) ||
        !read_name(file, &head->folder_path, room_after(room, kBeforeFolder)))
        return false;
    const uint64_t before_name = kBeforeFolder + head->folder_path.size() + 2;
    return read_name(file, &head->file_name, room_after(room, before_name));
}

bool read_record_head(FILE* file, RecordHead* head, uint64_t room) {
    return read_u64(file, &head->record_length) && read_record_head_rest(file, head, room);
}

bool read_record_head_at(FILE* file, uint64_t offset, RecordHead* head, uint64_t room) {
    return platform::seek_to(file, offset) && read_record_head(file, head, room);
}

bool write_class_field(FILE* file, uint16_t file_class) {
    const std::vector<uint8_t> bytes = class_field_bytes(file_class);
    return write_bytes(file, bytes.data(), bytes.size());
}

bool read_class_field(FILE* file, uint16_t* file_class) {
    return read_u16(file, file_class);
}

bool write_record_length(FILE* file, uint64_t record_offset, uint64_t record_length) {
    return platform::seek_to(file, record_offset) && write_u64(file, record_length);
}

bool stream_length(FILE* file, uint64_t* length) {
    return platform::seek_to_end(file) && platform::tell(file, length);
}

// --- walk ---------------------------------------------------------------------------

HeaderResult walk_begin(FILE* file, ArchiveWalk* walk, ArchiveHeader* header) {
    uint64_t length = 0;
    if (!stream_length(file, &length) || !platform::seek_to(file, 0))
        return HeaderResult::not_archive;
    HeaderResult result = read_archive_header(file, header);
    if (result != HeaderResult::ok) return result;
    walk->file = file;
    walk->archive_length = length;
    walk->offset = kArchiveHeaderSize;
    walk->entry_offset = 0;
    return HeaderResult::ok;
}

WalkStep walk_next(ArchiveWalk* walk, RecordHead* head) {
    *head = RecordHead();
    if (walk->offset >= walk->archive_length) return WalkStep::end;
    if (!platform::seek_to(walk->file, walk->offset)) return WalkStep::io_error;
    const uint64_t remaining = walk->archive_length - walk->offset;

    if (!read_u64(walk->file, &head->record_length)) return WalkStep::truncated_head;
    // An add writes 0 first and the real length last, so 0 marks an add cut short
    // (everything from here on belongs to it); checked before the names, which
    // such an add may not have finished either.
    if (head->record_length == 0) return WalkStep::interrupted_add;
    if (!read_record_head_rest(walk->file, head, remaining)) return WalkStep::truncated_head;

    const uint64_t head_size = record_head_size(*head);
    if (head->record_length < head_size) return WalkStep::length_too_small;
    if (head_size > remaining) return WalkStep::truncated_head;  // no class field
    if (head->record_length > remaining) return WalkStep::past_end;

    walk->entry_offset = walk->offset;
    walk->offset += head->record_length;
    return WalkStep::entry;
}

}  // namespace vellum
