// Every message of the core with its words as a message box shows them: text,
// caption and flags. Where the text is a path or a name, the message's subject
// stands in for it. The desktop program shows these boxes as they are; the command
// line words each message its own way, by its id.
#pragma once

#include <string>

#include "archive/display_name.h"
#include "archive/report.h"

namespace vellum {

// Message box flags.
constexpr unsigned kFlagsNone = 0;
constexpr unsigned kIconWarning = 0x30;
constexpr unsigned kIconInformation = 0x40;

struct MessageText {
    MessageId id;
    const char* text;  // nullptr: the subject is the text (a path, a name)
    const char* caption;
    unsigned flags;
};

namespace msg {
using Id = MessageId;
// Opening or creating the archive a compress command writes to.
constexpr MessageText kNotArchive = {Id::not_archive, "Not Archive", "Warning", kIconInformation};
constexpr MessageText kIncompatibleMode = {Id::incompatible_mode, "Incompatible mode", "Notice", kFlagsNone};
constexpr MessageText kArchiveClosed = {Id::archive_closed, "Archive Closed", "Notice", kFlagsNone};
constexpr MessageText kArchiveDamaged = {Id::archive_damaged, nullptr, "Archive damaged: nothing added",
                                         kIconWarning};
constexpr MessageText kArchiveNotCreated = {Id::archive_not_created, nullptr, "NON VA BENE", kFlagsNone};
// A command that only makes new archives met an existing one.
constexpr MessageText kArchiveExists = {Id::archive_exists, nullptr, "Archive exists: nothing added", kIconWarning};
// Adding one file.
constexpr MessageText kSourceNotOpened = {Id::source_not_opened, nullptr, "NON VA BENE", kFlagsNone};
constexpr MessageText kArchiveWriteFailed = {Id::archive_write_failed, nullptr, "Write error: entry removed",
                                             kIconWarning};
constexpr MessageText kSourceReadFailed = {Id::source_read_failed, nullptr, "Read error: entry removed",
                                           kIconWarning};
constexpr MessageText kSourceChanged = {Id::source_changed, nullptr,
                                        "File changed while it was read: stored as read", kIconWarning};
constexpr MessageText kArchiveItself = {Id::archive_itself, nullptr, "The archive itself: not added",
                                        kIconInformation};
constexpr MessageText kNameTooLong = {Id::name_too_long, nullptr, "Name too long: file skipped", kIconWarning};
constexpr MessageText kNotRegularFile = {Id::not_regular_file, nullptr,
                                         "Not a file or folder (pipe, socket or device): skipped", kIconWarning};
constexpr MessageText kNameWouldNotComeBack = {Id::name_would_not_come_back, nullptr,
                                               "Name cannot be extracted as it is: skipped", kIconWarning};
constexpr MessageText kOutOfMemory = {Id::out_of_memory, nullptr, "Not enough memory for the block buffer",
                                      kIconWarning};
constexpr MessageText kMetaNotWritten = {Id::meta_not_written, nullptr,
                                         "The metadata entry could not be written", kIconWarning};
// Any command: another command holds the archive.
constexpr MessageText kArchiveBusy = {Id::archive_busy, nullptr,
                                      "Archive in use by another command: nothing done", kIconWarning};
// Any command that changes an archive: what an interrupted delete left behind.
constexpr MessageText kLeftoverRemoved = {Id::leftover_removed, nullptr,
                                          "Removed the leftover of an interrupted delete", kIconInformation};
// Extracting.
constexpr MessageText kExtractRangeFailed = {Id::extract_range_failed, nullptr, "NON VA BENE EXTRACT PATH",
                                             kFlagsNone};
constexpr MessageText kExtractArchiveFailed = {Id::extract_archive_failed, nullptr, "Apri un archivio",
                                               kFlagsNone};
constexpr MessageText kDestinationFailed = {Id::destination_failed, nullptr,
                                            "Cannot create the destination folder", kIconWarning};
constexpr MessageText kOutputNotCreated = {Id::output_not_created, nullptr, "Cannot create file: entry skipped",
                                           kIconWarning};
constexpr MessageText kOutputWriteFailed = {Id::output_write_failed, nullptr, "Write error: file not written",
                                            kIconWarning};
constexpr MessageText kKeptExisting = {Id::kept_existing, nullptr, "Exists: kept", kIconInformation};
constexpr MessageText kDamagedEntry = {Id::damaged_entry, nullptr, "Damaged entry: skipped", kIconWarning};
constexpr MessageText kChecksumMismatch = {Id::checksum_mismatch, nullptr,
                                           "Damaged entry: checksum differs, file not written", kIconWarning};
constexpr MessageText kUnsafePath = {Id::unsafe_path, nullptr, "Unsafe path: entry skipped", kIconWarning};
constexpr MessageText kColonInName = {Id::colon_in_name, nullptr,
                                      "Name holds ':', which this system reads as a stream: entry skipped",
                                      kIconWarning};
constexpr MessageText kLinkInPath = {Id::link_in_path, nullptr, "Link in the path: entry skipped", kIconWarning};
constexpr MessageText kOutputIsArchive = {Id::output_is_archive, nullptr,
                                          "Would replace the archive being read: entry skipped", kIconWarning};
constexpr MessageText kSolidRunBroken = {Id::solid_run_broken, nullptr,
                                         "Damaged entry: the rest of the solid run cannot be decoded",
                                         kIconWarning};
constexpr MessageText kArchiveWalkStopped = {Id::archive_walk_stopped, nullptr,
                                             "Archive damaged: walk stopped here", kIconWarning};
constexpr MessageText kUnsafeLink = {Id::unsafe_link, nullptr, "Unsafe link: skipped", kIconWarning};
constexpr MessageText kLinkNotCreated = {Id::link_not_created, nullptr, "Cannot create link: skipped",
                                         kIconWarning};
constexpr MessageText kAttributesNotSet = {Id::attributes_not_set, nullptr,
                                           "Cannot restore mode or time", kIconWarning};
constexpr MessageText kMetaUnreadable = {Id::meta_unreadable, nullptr,
                                         "Metadata entry cannot be read: passed over", kIconWarning};
// Read from a stream, a file takes its place before the metadata that holds its
// checksum comes; when the two differ, the file is removed again.
constexpr MessageText kLateChecksumMismatch = {Id::late_checksum_mismatch, nullptr,
                                               "Damaged entry: checksum differs, file removed", kIconWarning};

// --- archive management: listing, info, deleting entries ----------------------------
// Opening an archive into the view and listing its records.
constexpr MessageText kNotAnArchive = {Id::not_an_archive, "It is not a Archive", "Warning", kIconWarning};
constexpr MessageText kListNotOpened = {Id::list_not_opened, nullptr, "NON VA BENE ARCHIVIO NON APERTO",
                                        kFlagsNone};
constexpr MessageText kListingDamaged = {Id::listing_damaged, nullptr, "Archive damaged: listing incomplete",
                                         kIconWarning};
// The entry count.
constexpr MessageText kInfoCount = {Id::info_count, nullptr, "Info", kFlagsNone};
constexpr MessageText kInfoNoArchive = {Id::info_no_archive, "Open Archive ", "Warning", kFlagsNone};
// Deleting entries.
constexpr MessageText kDeleteNoSelection = {Id::delete_no_selection, "Please select any File/Dir", "Warning",
                                            kIconWarning};
constexpr MessageText kDeleteSolid = {Id::delete_solid, "Not Implemented in Solid Mode ON", "Warning",
                                      kIconWarning};
constexpr MessageText kDeleteNoArchive = {Id::delete_no_archive, "Open Archive ", "Warning", kIconWarning};
constexpr MessageText kDeleted = {Id::deleted, "DELETED", "NOTICE", kIconWarning};
constexpr MessageText kArchiveDeleted = {Id::archive_deleted, "ACHIVE DELETED", "Message", kIconInformation};
constexpr MessageText kDeleteSourceNotOpened = {Id::delete_source_not_opened, nullptr, "NON VA BENE INFILE",
                                                kFlagsNone};
constexpr MessageText kDeleteTempNotCreated = {Id::delete_temp_not_created, nullptr, "NON VA BENE OUTFILE",
                                               kFlagsNone};
constexpr MessageText kDeleteDamaged = {Id::delete_damaged, nullptr, "Archive damaged: nothing deleted",
                                        kIconWarning};
constexpr MessageText kDeleteStale = {Id::delete_stale, nullptr,
                                      "Archive changed since it was listed: nothing deleted", kIconWarning};
constexpr MessageText kDeleteReadFailed = {Id::delete_read_failed, nullptr, "Read error: nothing deleted",
                                           kIconWarning};
constexpr MessageText kDeleteWriteFailed = {Id::delete_write_failed, nullptr, "Write error: nothing deleted",
                                            kIconWarning};
constexpr MessageText kDeleteReplaceFailed = {Id::delete_replace_failed, nullptr,
                                              "Cannot replace the archive: nothing deleted", kIconWarning};
constexpr MessageText kDeleteRemoveFailed = {Id::delete_remove_failed, nullptr, "Cannot remove the archive",
                                             kIconWarning};
// Repairing an archive after a kill.
constexpr MessageText kRepairNotOpened = {Id::repair_not_opened, nullptr,
                                          "Cannot open the archive: nothing repaired", kIconWarning};
constexpr MessageText kRepairRefused = {Id::repair_refused, nullptr, "Damage that no cut mends: nothing changed",
                                        kIconWarning};
constexpr MessageText kRepairFailed = {Id::repair_failed, nullptr, "Cannot cut the archive", kIconWarning};
}  // namespace msg

// The words of a message id.
const MessageText& message_text(MessageId id);

// A message as the described message box shows it: the fixed text, or the
// subject shown escaped (never raw: names may hold control bytes).
struct BoxText {
    std::string text;
    std::string caption;
    unsigned flags = 0;
};
BoxText box_text(const Message& message);

// Reports message `m` about `subject`; `error` is the system's reason, taken
// right after the call that failed (0: none).
inline void report(Reporter& reporter, const MessageText& m, const std::string& subject = {}, int error = 0) {
    reporter.message(Message{m.id, subject, error});
}

}  // namespace vellum
