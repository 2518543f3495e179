// vellum repair: an unfinished tail cut off after a kill, normal and solid archives.
#include <string>

#include "archive/entry_path.h"
#include "cli/archive_file.h"
#include "cli/commands.h"
#include "cli/summary.h"
#include "manage/repair.h"
#include "platform/platform.h"

namespace vellum {
namespace cli {

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
            print_line(session, "Nothing to repair in " + path + ": " +
                                    counted(check.entries, "entry", "entries") + ", all complete",
                       true);
            return kExitOk;
        case RepairResult::repaired: {
            const std::string name = check.head.folder_path.empty() && check.head.file_name.empty()
                                         ? std::string("(name not written)")
                                         : native_form(check.head.folder_path + check.head.file_name);
            print_line(session, "Removed the unfinished entry " + name + ": " +
                                    std::to_string(repair.removed_bytes) + " bytes at offset " +
                                    std::to_string(check.offset) + " from archive " + path + "; " +
                                    counted(check.entries, "entry", "entries") + " kept",
                       true);
            return kExitOk;
        }
        default:
            return kExitFatal;
    }
}

}  // namespace cli
}  // namespace vellum
