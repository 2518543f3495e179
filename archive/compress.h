// Adding one file to the archive as one entry record, in normal or solid mode.
#pragma once

#include <cstdio>
#include <string>

#include "archive/command.h"
#include "archive/format.h"
#include "codec/byte_io.h"
#include "platform/file_info.h"

namespace vellum {

enum class AddResult {
    added,
    skipped,  // the source could not be opened or its name not stored: reported,
              // nothing written, the command goes on
    failed,   // the archive could not be written (or, in solid mode, the run can no
              // longer continue): reported, the partial record cut off, every
              // earlier entry intact; the command ends
    interrupted,  // the reporter asked to stop: the partial record cut off, every
                  // earlier entry intact; the command ends
};

// How one file's add ended.
struct AddedFile {
    AddResult result = AddResult::skipped;
    uint64_t size = 0;           // the bytes stored
    uint64_t record_length = 0;
    uint64_t checksum = 0;       // of exactly the bytes stored
    bool changed = false;        // the file changed while it was read (reported)
};

// Appends the entry for source_path to command.archive_path. folder_path is "" for
// a file added on its own, or the archive folder path with its trailing backslash
// (docs\sub\); file_name is the name stored. The caller counts files processed;
// the size and record length go into the totals when the entry is complete.
// Writes through command.archive when the command holds it, else opens the
// archive by name for this one entry.
AddResult compress_file(Command& command, const std::string& source_path,
                        const std::string& folder_path, const std::string& file_name);
// The same, with what was stored.
AddedFile add_file(Command& command, const std::string& source_path, const std::string& folder_path,
                   const std::string& file_name);

// The three steps of compress_file, for adds that code files on worker threads.

// Opens the source without blocking on a pipe and fills head's names and size.
// nullptr when the file is skipped (reported).
FILE* open_source(Reporter& reporter, const std::string& source_path, const std::string& folder_path,
                  const std::string& file_name, RecordHead* head);

// What a record is coded from. A record may be coded more than once (stored after
// all, or a best-class search), each time from the first byte.
class RecordInput : public InputSource {
public:
    // Back to the first byte. False, with the system's reason kept, when it cannot go back.
    virtual bool rewind() = 0;
    // The system's reason a read or a rewind failed; 0 when none did.
    virtual int failure() const = 0;
    // Size and time now, to tell whether the source moved while it was read;
    // false when the source has none.
    virtual bool state(platform::ItemInfo* info) { (void)info; return false; }
};

// An open file, read from its start.
class FileInput : public RecordInput {
public:
    explicit FileInput(FILE* file) : file_(file) {}
    size_t read(uint8_t* data, size_t size) override;
    bool rewind() override;
    int failure() const override { return error_; }
    bool state(platform::ItemInfo* info) override;

private:
    FILE* file_;
    int error_ = 0;
};

// Bytes in memory (the metadata entry's text).
class MemoryInput : public RecordInput {
public:
    MemoryInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t read(uint8_t* data, size_t size) override;
    bool rewind() override {
        at_ = 0;
        return true;
    }
    int failure() const override { return 0; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// Where a record's bytes go while it is coded. A normal entry whose coded record
// would be larger than the file stored is started again, stored: restart()
// forgets every byte given so far, and the record's bytes begin anew. False
// when the bytes already given cannot be taken back (the sink keeps the reason).
class RecordSink : public OutputSink {
public:
    virtual bool restart() = 0;
};

// A record appended to an open archive from `start` on (its end when the record
// began): a restart cuts the archive back there.
class ArchiveRecordSink : public RecordSink {
public:
    ArchiveRecordSink(FILE* archive, uint64_t start) : archive_(archive), start_(start) {}
    bool write(const uint8_t* data, size_t size) override;
    bool restart() override;
    // The system's reason of the first failure; 0 when none failed.
    int error() const { return error_; }

private:
    FILE* archive_;
    uint64_t start_;
    int error_ = 0;
};

struct CodedRecord {
    bool ok = false;              // every byte of the record reached the sink
    uint64_t checksum = 0;        // of exactly the file's bytes coded (archive/checksum.h)
    bool changed = false;         // the file's size or time moved while it was read
    bool stopped = false;         // the reporter asked to stop
    bool source_failed = false;   // the source could not be read to its size
    int source_error = 0;         // the system's reason, when it gave one
    bool history_touched = false; // the solid run's shared state has moved
    bool grew = false;            // coding was given up: the record would have been
                                  // larger than the file stored (it was stored instead)
    uint64_t record_length = 0;   // bytes given to the sink
    uint16_t file_class = 0;      // the class written in the entry
};

// Codes the whole record (head with a provisional length of 0, class field, data)
// into `sink`. In normal mode the record is never larger than the file stored:
// coding stops as soon as the coded bytes pass the file's size, and the record
// starts again with the stored class (the source read once more). With
// command.settings.best_class in normal mode the file is first coded with every
// distinct parameter set, stored included, its size counted only, and the
// smallest entry is written (the source is read once per set, and once more).
// In solid mode the class rule's choice stands, except that data which looks
// incompressible is stored (incompressible.h). `forced_class`: the class to code
// with in place of the class rule's (-1: the rule's).
CodedRecord code_record(Command& command, RecordInput& source, const RecordHead& head, RecordSink& sink,
                        int forced_class = -1);

// The record's bytes went to `archive` from entry_start on (`write_error` 0: all
// of them; else the system's reason they did not): writes the record length, or
// cuts the record off and reports why, as the result says. A record added
// counts in the totals and is announced.
AddedFile settle_record(Command& command, FILE* archive, uint64_t entry_start, const CodedRecord& coded,
                        int write_error, const std::string& source_path, const RecordHead& head);

}  // namespace vellum
