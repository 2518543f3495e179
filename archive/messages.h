// Every text the archive operations show the user, in one table: the caption and
// flags of each message box, and the fixed texts. Where the text is a path or a
// name, the caller supplies it.
#pragma once

#include "archive/display_name.h"
#include "archive/report.h"

namespace vellum {

struct MessageText {
    const char* text;  // nullptr: the caller supplies the text (a path, a name)
    const char* caption;
    unsigned flags;
};

namespace msg {
// Opening or creating the archive a compress command writes to.
constexpr MessageText kNotArchive = {"Not Archive", "Warning", kIconInformation};
constexpr MessageText kIncompatibleMode = {"Incompatible mode", "Notice", kFlagsNone};
constexpr MessageText kArchiveClosed = {"Archive Closed", "Notice", kFlagsNone};
constexpr MessageText kArchiveDamaged = {nullptr, "Archive damaged: nothing added", kIconWarning};
constexpr MessageText kArchiveNotCreated = {nullptr, "NON VA BENE", kFlagsNone};
// Compressing one file.
constexpr MessageText kSourceNotOpened = {nullptr, "NON VA BENE", kFlagsNone};
constexpr MessageText kArchiveWriteFailed = {nullptr, "Write error: entry removed", kIconWarning};
constexpr MessageText kSourceReadFailed = {nullptr, "Read error: entry removed", kIconWarning};
constexpr MessageText kArchiveItself = {nullptr, "The archive itself: not added", kIconInformation};
constexpr MessageText kNameTooLong = {nullptr, "Name too long: file skipped", kIconWarning};
constexpr MessageText kNotRegularFile = {nullptr, "Not a file or folder (pipe, socket or device): skipped",
                                         kIconWarning};
constexpr MessageText kNameWouldNotComeBack = {nullptr, "Name cannot be extracted as it is: skipped",
                                               kIconWarning};
constexpr MessageText kOutOfMemory = {nullptr, "Not enough memory for the block buffer",
                                      kIconWarning};
// Any command: another command holds the archive.
constexpr MessageText kArchiveBusy = {nullptr, "Archive in use by another command: nothing done",
                                      kIconWarning};
// Any command that changes an archive: what an interrupted delete left behind.
constexpr MessageText kLeftoverRemoved = {nullptr, "Removed the leftover of an interrupted delete",
                                          kIconInformation};
// Extracting.
constexpr MessageText kExtractRangeFailed = {nullptr, "NON VA BENE EXTRACT PATH", kFlagsNone};
constexpr MessageText kExtractArchiveFailed = {nullptr, "Apri un archivio", kFlagsNone};
constexpr MessageText kOutputNotCreated = {nullptr, "Cannot create file: entry skipped",
                                           kIconWarning};
constexpr MessageText kOutputWriteFailed = {nullptr, "Write error: file not written",
                                            kIconWarning};
constexpr MessageText kDamagedEntry = {nullptr, "Damaged entry: skipped", kIconWarning};
constexpr MessageText kUnsafePath = {nullptr, "Unsafe path: entry skipped", kIconWarning};
constexpr MessageText kColonInName = {nullptr, "Name holds ':', which this system reads as a stream: "
                                               "entry skipped", kIconWarning};
constexpr MessageText kLinkInPath = {nullptr, "Link in the path: entry skipped", kIconWarning};
constexpr MessageText kOutputIsArchive = {nullptr, "Would replace the archive being read: entry skipped",
                                          kIconWarning};
constexpr MessageText kSolidRunBroken = {nullptr, "Damaged entry: the rest of the solid run "
                                                  "cannot be decoded", kIconWarning};
constexpr MessageText kArchiveWalkStopped = {nullptr, "Archive damaged: walk stopped here",
                                             kIconWarning};

// --- archive management: listing, info, deleting entries ----------------------------
// Opening an archive into the view and listing its records.
constexpr MessageText kNotAnArchive = {"It is not a Archive", "Warning", kIconWarning};
constexpr MessageText kListNotOpened = {nullptr, "NON VA BENE ARCHIVIO NON APERTO", kFlagsNone};
constexpr MessageText kListingDamaged = {nullptr, "Archive damaged: listing incomplete",
                                         kIconWarning};
// The entry count.
constexpr MessageText kInfoCount = {nullptr, "Info", kFlagsNone};
constexpr MessageText kInfoNoArchive = {"Open Archive ", "Warning", kFlagsNone};
// Deleting entries.
constexpr MessageText kDeleteNoSelection = {"Please select any File/Dir", "Warning", kIconWarning};
constexpr MessageText kDeleteSolid = {"Not Implemented in Solid Mode ON", "Warning", kIconWarning};
constexpr MessageText kDeleteNoArchive = {"Open Archive ", "Warning", kIconWarning};
constexpr MessageText kDeleted = {"DELETED", "NOTICE", kIconWarning};
constexpr MessageText kArchiveDeleted = {"ACHIVE DELETED", "Message", kIconInformation};
constexpr MessageText kDeleteSourceNotOpened = {nullptr, "NON VA BENE INFILE", kFlagsNone};
constexpr MessageText kDeleteTempNotCreated = {nullptr, "NON VA BENE OUTFILE", kFlagsNone};
constexpr MessageText kDeleteDamaged = {nullptr, "Archive damaged: nothing deleted", kIconWarning};
constexpr MessageText kDeleteStale = {nullptr, "Archive changed since it was listed: nothing deleted",
                                      kIconWarning};
constexpr MessageText kDeleteReadFailed = {nullptr, "Read error: nothing deleted", kIconWarning};
constexpr MessageText kDeleteWriteFailed = {nullptr, "Write error: nothing deleted", kIconWarning};
constexpr MessageText kDeleteReplaceFailed = {nullptr, "Cannot replace the archive: nothing deleted",
                                              kIconWarning};
constexpr MessageText kDeleteRemoveFailed = {nullptr, "Cannot remove the archive", kIconWarning};
// Repairing an archive after a kill.
constexpr MessageText kRepairNotOpened = {nullptr, "Cannot open the archive: nothing repaired",
                                          kIconWarning};
constexpr MessageText kRepairRefused = {nullptr, "Damage that no cut mends: nothing changed",
                                        kIconWarning};
constexpr MessageText kRepairFailed = {nullptr, "Cannot cut the archive", kIconWarning};
}  // namespace msg

// The caller's text carries paths and names: shown escaped, never raw.
inline void report(Reporter& reporter, const MessageText& m, const std::string& text = {}) {
    reporter.message(m.text ? std::string(m.text) : escaped_name(text), m.caption, m.flags);
}

}  // namespace vellum
