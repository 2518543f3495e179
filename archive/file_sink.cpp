#include "archive/file_sink.h"

#include <cerrno>

#include "archive/leftovers.h"
#include "archive/messages.h"

namespace vellum {

CheckSink::CheckSink(const ExpectedFile& expected, const std::string& name) : expected_(expected), name_(name) {}

bool CheckSink::write(const uint8_t* data, size_t size) {
    if (expected_.has_checksum) sum_.update(data, size);
    return true;
}

SinkOutcome CheckSink::finish(bool whole, Reporter& reporter) {
    if (!whole) return SinkOutcome::not_written;
    if (expected_.has_checksum && sum_.digest() != expected_.checksum) {
        report(reporter, msg::kChecksumMismatch, name_);
        return SinkOutcome::mismatch;
    }
    return SinkOutcome::checked;
}

void CheckSink::reset() { sum_ = Checksum(); }

TreeFileSink::TreeFileSink(ExtractTree& tree, std::vector<std::string> parts, std::string name, const ExpectedFile& expected)
    : tree_(tree), parts_(std::move(parts)), name_(std::move(name)), expected_(expected) {}

TreeFileSink::~TreeFileSink() { drop_temporary(); }

bool TreeFileSink::open_temporary() {
    if (created_ || error_ != 0) return created_;
    int error = EEXIST;
    // A clash with an existing name only costs another try.
    for (int attempt = 0; attempt < 64 && !file_ && error == EEXIST; ++attempt) {
        temporary_ = unique_name("", "vellum-x-", ".tmp");
        file_ = platform::create_new_file_in(tree_.root(), temporary_, &error);
    }
    if (!file_) {
        error_ = error;
        create_failed_ = true;
        return false;
    }
    created_ = true;
    return true;
}

bool TreeFileSink::write(const uint8_t* data, size_t size) {
    if (!open_temporary()) return false;
    if (expected_.has_checksum) sum_.update(data, size);
    if (size != 0 && std::fwrite(data, 1, size, file_) != size) {
        error_ = errno ? errno : EIO;
        return false;
    }
    return true;
}

bool TreeFileSink::close() {
    // An empty entry still makes its file.
    if (!open_temporary()) return false;
    if (std::fflush(file_) != 0) {
        error_ = errno ? errno : EIO;
        return false;
    }
    return true;
}

void TreeFileSink::drop_temporary() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (created_) platform::remove_in(tree_.root(), temporary_);
    created_ = false;
}

void TreeFileSink::reset() {
    drop_temporary();
    error_ = 0;
    create_failed_ = false;
    sum_ = Checksum();
}

bool TreeFileSink::place(Reporter& reporter) {
    int error = 0;
    const platform::Folder* folder = nullptr;
    switch (tree_.folder(parts_, true, &folder, &error)) {
        case platform::FolderOpen::ok: break;
        case platform::FolderOpen::link:
            report(reporter, msg::kLinkInPath, shown());
            return false;
        case platform::FolderOpen::not_folder:
            report(reporter, msg::kOutputNotCreated, shown(), ENOTDIR);
            return false;
        case platform::FolderOpen::failed:
            report(reporter, msg::kOutputNotCreated, shown(), error);
            return false;
    }
    platform::ItemInfo there;
    if (!platform::info_in(*folder, name_, &there, &error)) {
        report(reporter, msg::kOutputNotCreated, shown(), error);
        return false;
    }
    if (tree_.is_archive(there)) {
        report(reporter, msg::kOutputIsArchive, shown());
        return false;
    }
    if (there.kind == platform::InfoKind::folder) {
        report(reporter, msg::kOutputNotCreated, shown(), EISDIR);
        return false;
    }
    if (expected_.has_attributes &&
        !platform::set_file_attributes(file_, expected_.mode, expected_.seconds, expected_.nanoseconds, &error))
        report(reporter, msg::kAttributesNotSet, shown(), error);
    // Closed before the rename: some systems rename no open file.
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed) {
        report(reporter, msg::kOutputWriteFailed, shown(), errno);
        return false;
    }
    if (!platform::rename_in(tree_.root(), temporary_, *folder, name_, &error)) {
        report(reporter, msg::kOutputNotCreated, shown(), error);
        return false;
    }
    created_ = false;  // it has its own name now
    return true;
}

SinkOutcome TreeFileSink::finish(bool whole, Reporter& reporter) {
    if (!whole) {
        drop_temporary();
        return SinkOutcome::not_written;
    }
    if (error_ != 0 || !created_) {
        report(reporter, create_failed_ ? msg::kOutputNotCreated : msg::kOutputWriteFailed, shown(), error_);
        drop_temporary();
        return SinkOutcome::not_written;
    }
    // A mismatch leaves whatever stood at that name alone.
    if (expected_.has_checksum && sum_.digest() != expected_.checksum) {
        report(reporter, msg::kChecksumMismatch, shown());
        drop_temporary();
        return SinkOutcome::mismatch;
    }
    const bool placed = place(reporter);
    drop_temporary();
    return placed ? SinkOutcome::written : SinkOutcome::not_written;
}

}  // namespace vellum
