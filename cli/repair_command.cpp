// vellum repair: an unfinished tail cut off after a kill, normal and solid archives.
// Repair reads record heads only, and says so: an archive whose heads are sound
// may still hold damaged data, which only `vellum test` finds.
#include <string>

#include "archive/entry_path.h"
#include "archive/report.h"
#include "cli/archive_file.h"
#include "cli/commands.h"
#include "cli/summary.h"
#include "manage/listing.h"
#include "manage/repair.h"
#include "meta/archive_meta.h"
#include "platform/platform.h"

namespace vellum {
namespace cli {
namespace {

// "2 entries" or "2 entries and 1 metadata entry": whole records counted as
// every listing counts them.
std::string records_text(const std::string& path, uint64_t records) {
    ArchiveListing listing;
    SilentReporter quiet;
    uint64_t metadata = 0;
    if (list_archive(path, quiet, &listing) == ListStatus::complete || listing.status == ListStatus::incomplete)
        for (size_t i = 0; i < listing.entries.size() && i < records; ++i)
            metadata += is_meta_entry(listing.entries[i]) ? 1 : 0;
    std::string text = counted(records - metadata, "entry", "entries");
    if (metadata > 0) text += " and " + counted(metadata, "metadata entry", "metadata entries");
    return text;
}

std::string record_name(const RecordHead& head) {
    return head.folder_path.empty() && head.file_name.empty() ? std::string("(name not written)")
                                                              : native_form(head.folder_path + head.file_name);
}

std::string data_unchecked(const std::string& path) {
    return "; the data was not checked: 'vellum test " + path + "' checks it";
}

}  // namespace

int run_repair(Session& session, const Options& options) {
    const std::string path = resolve_archive_path(options.archive);
    if (platform::is_folder(path.c_str())) {
        print_error(session, path + ": is a folder, not an archive");
        return kExitFatal;
    }
    RepairReport repair;
    const RepairResult result = repair_archive(path, session.reporter, &repair);
    const RecordsCheck& check = repair.check;
    switch (result) {
        case RepairResult::nothing_to_do:
            print_line(session,
                       "Nothing to repair in " + path + ": the record heads of its " +
                           records_text(path, check.entries) + " are sound" + data_unchecked(path),
                       true);
            return kExitOk;
        case RepairResult::repaired:
            print_line(session, "Removed the unfinished entry " + record_name(check.head) + ": " +
                                    std::to_string(repair.removed_bytes) + " bytes at offset " +
                                    std::to_string(check.offset) + " from archive " + path + "; " +
                                    records_text(path, check.entries) + " kept" + data_unchecked(path),
                       true);
            return kExitOk;
        case RepairResult::damaged:
            // The core said what is wrong; here is what can still be done.
            print_error(session, path + ": the damaged record is " + record_name(check.head) +
                                     "; repair only cuts off an unfinished last entry, so nothing was changed. The " +
                                     records_text(path, check.entries) +
                                     " before it can still be listed and extracted ('vellum extract " + path +
                                     "'); what lies after it cannot be reached");
            return kExitFatal;
        default:
            return kExitFatal;
    }
}

}  // namespace cli
}  // namespace vellum
