// The texts the desktop program's own commands show: message boxes with their
// captions and flags, the summaries' captions, and the status lines' formats.
// The core's messages are in archive/messages.h.
#pragma once

#include "archive/messages.h"

namespace vellum {
namespace app {

// A box of the program's own: its text (nullptr: the caller's text), caption and flags.
struct AppText {
    const char* text;
    const char* caption;
    unsigned flags;
};

namespace text {

constexpr AppText kSelectSomething = {"Please select any File/Dir", "Warning", kIconWarning};
constexpr AppText kOnlyExtraction = {"Only Extraction", "Warning", kIconWarning};
constexpr AppText kOpenArchive = {"Open Archive", "Warning", kIconWarning};
constexpr AppText kFileNotExist = {"File Not Exist", "Warning", kIconInformation};
constexpr AppText kFolderSource = {nullptr, "source", kFlagsNone};
// A path that does not fit the 1024-byte texts is refused, never cut.
constexpr AppText kPathTooLong = {nullptr, "Path too long (at most 1023 characters)",
                                      kIconWarning};

// Files dropped where they cannot go.
constexpr AppText kDropHowTo = {
    "Drop one .vlm archive here to open it. To add files and folders to an archive, open a "
    "normal archive first and drop them on its view.",
    "Vellum", kIconInformation};
constexpr AppText kDropOnSolid = {
    "Files cannot be added to a solid archive: it is written by one command. Drop one .vlm "
    "archive here to open it.",
    "Vellum", kIconInformation};

constexpr const char* kAddedCaption = "NOTICE";
constexpr const char* kExtractedCaption = "DECOMPRESSION COMPLETED";

// Status lines of the progress window.
constexpr const char* kArchiveLabel = "ARCHIVE: ";
constexpr int kArchiveLabelX = 10, kArchivePathX = 72, kArchiveY = 10;
// "FILE:" and 47 blanks: blanks out the previous name.
constexpr const char* kFileLabel = "FILE:                                               ";
constexpr int kLabelX = 10, kNameX = 60;
constexpr int kFileY = 30, kTimeY = 50, kFilesY = 70, kProcessedY = 90, kCompressedY = 110;

}  // namespace text
}  // namespace app
}  // namespace vellum
