// Byte layout of an archive: the 12-byte header and the entry records that follow
// it back to back up to the end of the file. All integers little-endian.
//
//   header:  u16 signature length (8), 8 signature bytes, u8 solid flag,
//            u8 buffer size setting (0..6)
//   record:  u64 record length, u64 original size, u16 reserved,
//            u16 L1 + folder path, u16 L2 + file name, u16 class field, data
//
// A record length counts every byte from the record's start to the next record's.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vellum {

constexpr uint16_t kSignatureLength = 8;
extern const unsigned char kSignature[kSignatureLength];

constexpr uint64_t kArchiveHeaderSize = 12;

// The buffer size setting of the header: block sizes 8 MiB (setting 0) to
// 512 MiB (setting 6), each setting twice the one below; 128 MiB by default.
constexpr int kMaxBufferSetting = 6;
constexpr int kDefaultBufferSetting = 4;
constexpr uint64_t kSmallestBlockSize = uint64_t{8} << 20;

// Record length, original size, reserved, the two name lengths and the class field.
constexpr uint64_t kRecordFixedBytes = 24;

// A total of sizes read from an archive: stops at the largest count rather than
// wrap, since a damaged record may claim any size.
inline uint64_t add_capped(uint64_t total, uint64_t more) {
    return more > UINT64_MAX - total ? UINT64_MAX : total + more;
}

// Block size of a buffer size setting: 8 MiB << setting, 0 for a setting outside 0..6.
constexpr uint64_t block_size_for_setting(int setting) {
    return setting < 0 || setting > kMaxBufferSetting ? 0 : kSmallestBlockSize << setting;
}
// The same in MiB, as sizes are named to the user (8M .. 512M).
constexpr uint64_t block_mebibytes(int setting) { return block_size_for_setting(setting) >> 20; }

struct ArchiveHeader {
    uint8_t solid = 0;           // 0 normal, 1 solid
    uint8_t buffer_setting = kDefaultBufferSetting;
};

enum class HeaderResult {
    ok,
    not_archive,    // too short, or signature length or bytes differ
    bad_settings,   // signature right, but solid flag not 0/1 or setting outside 0..6
};

// Little-endian fields, assembled byte by byte.
bool write_u16(FILE* file, uint16_t value);
bool write_u64(FILE* file, uint64_t value);
bool read_u16(FILE* file, uint16_t* value);
bool read_u64(FILE* file, uint64_t* value);

// A stored name: u16 length then the bytes, no terminator. The signature is
// written through this too. False when the name is longer than 65535 bytes.
bool write_name(FILE* file, const std::string& name);
// `room`: bytes the file holds after the length field. A stored length beyond it
// fails before anything is allocated for the name.
bool read_name(FILE* file, std::string* name, uint64_t room = UINT64_MAX);

// Writes the 12 header bytes at the current position.
bool write_archive_header(FILE* file, const ArchiveHeader& header);
// Reads and checks the header at the current position (the file's start).
// On anything but ok the header record is left untouched.
HeaderResult read_archive_header(FILE* file, ArchiveHeader* header);

struct RecordHead {
    uint64_t record_length = 0;
    uint64_t original_size = 0;
    uint16_t reserved = 0;
    std::string folder_path;  // empty, or folder names each ending in a backslash (docs\sub\)
    std::string file_name;
};

// Bytes from a record's start to its data: 24 + L1 + L2 (the class field included).
inline uint64_t record_head_size(uint64_t folder_length, uint64_t name_length) {
    return kRecordFixedBytes + folder_length + name_length;
}
inline uint64_t record_head_size(const RecordHead& head) {
    return record_head_size(head.folder_path.size(), head.file_name.size());
}

// Writes everything before the class field (record_head_size - 2 bytes). The
// class field follows once the first block has been read.
bool write_record_head(FILE* file, const RecordHead& head);
// The same bytes in memory. False when a name is longer than 65535 bytes.
bool record_head_bytes(const RecordHead& head, std::vector<uint8_t>* bytes);
// The two bytes of a class field.
std::vector<uint8_t> class_field_bytes(uint16_t file_class);
// Reads everything before the class field from the current position. `room`:
// bytes the file holds from the record's start; names that claim more fail.
bool read_record_head(FILE* file, RecordHead* head, uint64_t room = UINT64_MAX);
bool read_record_head_at(FILE* file, uint64_t offset, RecordHead* head,
                         uint64_t room = UINT64_MAX);

bool write_class_field(FILE* file, uint16_t file_class);
bool read_class_field(FILE* file, uint16_t* file_class);

// Rewrites the record length at the record's start E (the provisional 0 of an add).
bool write_record_length(FILE* file, uint64_t record_offset, uint64_t record_length);

// Length of an open stream; leaves the position at the end.
bool stream_length(FILE* file, uint64_t* length);

// A byte range of whole records: from one record's start to another's (exclusive).
struct OffsetRange {
    uint64_t from;
    uint64_t to;
};

// True when `offset` lies in one of the ranges.
inline bool in_ranges(const std::vector<OffsetRange>& ranges, uint64_t offset) {
    for (const OffsetRange& r : ranges)
        if (offset >= r.from && offset < r.to) return true;
    return false;
}

// One whole record of an archive, as a walk finds it.
struct ListingEntry {
    uint64_t offset = 0;
    uint64_t record_length = 0;
    uint64_t original_size = 0;
    std::string folder_path;  // empty, or folder names each ending in a backslash
    std::string file_name;
    uint16_t file_class = 0;
};

// --- walking the records --------------------------------------------------------

enum class WalkStep {
    entry,             // a whole record: head filled, walk moved past it
    end,               // the previous record ended exactly at the end of the file
    interrupted_add,   // record length 0: an add that never wrote its final length;
                       // cutting the file at `offset` restores the archive
    length_too_small,  // record length below the record's own head size
    past_end,          // record reaches beyond the end of the file
    truncated_head,    // the file ends inside the record's head
    io_error,          // a seek failed
};

// One walk over an open archive. Every entry step moves `offset` forward by at
// least kRecordFixedBytes; every other step leaves it at the start of the record
// where the walk stopped and gives the same answer if called again, so a walk over
// any file ends and never goes back.
struct ArchiveWalk {
    FILE* file = nullptr;
    uint64_t archive_length = 0;
    uint64_t offset = kArchiveHeaderSize;  // start E of the next record to read
    uint64_t entry_offset = 0;             // start E of the record just returned
};

// Reads and checks the header from the file's start and gets ready to walk.
HeaderResult walk_begin(FILE* file, ArchiveWalk* walk, ArchiveHeader* header);

// Reads the next record head. After an entry step the stream stands at the
// record's class field. On length_too_small and past_end, head holds what was
// read, so a caller may still show the damaged record.
WalkStep walk_next(ArchiveWalk* walk, RecordHead* head);

}  // namespace vellum
