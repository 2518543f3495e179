#include "cli/help.h"

namespace vellum {
namespace cli {
namespace {

const char kOverview[] =
    "Usage: vellum [-q] COMMAND [OPTIONS] ARCHIVE [NAME...]\n"
    "\n"
    "Commands (each with a one-letter alias):\n"
    "  add, a      ARCHIVE PATH...   add files and folders to an archive\n"
    "  extract, x  ARCHIVE [NAME...] extract every entry, or the named ones\n"
    "  list, l     ARCHIVE           list the rows of an archive\n"
    "  info, i     ARCHIVE           entry count, mode, block size, sizes, ratio\n"
    "  delete, d   ARCHIVE NAME...   remove rows from a normal archive\n"
    "  test, t     ARCHIVE           decode every entry without writing it\n"
    "  repair, r   ARCHIVE           cut off an entry left unfinished by a kill\n"
    "\n"
    "Options for every command:\n"
    "  -q, --quiet   no progress display and no summary line\n"
    "  -h, --help    this text, or the command's own with a command word\n"
    "  --version     the program's version\n"
    "\n"
    "An archive name without the extension .vlm gets it.\n"
    "Exit status: 0 success, 1 some files skipped or damaged, 2 fatal error or bad usage\n"
    "(also: the archive is in use by another command), 130 interrupted.\n";

const char kAdd[] =
    "Usage: vellum add [--solid] [--block SIZE] ARCHIVE PATH...\n"
    "\n"
    "Adds every file named, and every file below every folder named, in the\n"
    "order given. A folder's files keep their paths below the folder's own name;\n"
    "empty folders leave no entry. A missing archive is created; adding to an\n"
    "existing normal archive uses the archive's own block size.\n"
    "\n"
    "  --solid        create a solid archive: the files share one model history,\n"
    "                 so similar files code smaller. A solid archive is written\n"
    "                 by one command and cannot be added to later.\n"
    "  --block SIZE   block size of a new archive: 8M, 16M, 32M, 64M, 128M\n"
    "                 (the default), 256M or 512M\n"
    "\n"
    "Example: vellum add backup.vlm notes.txt photos/\n";

const char kExtract[] =
    "Usage: vellum extract [-o FOLDER] ARCHIVE [NAME...]\n"
    "\n"
    "Extracts every entry, or only those named. A NAME is a row of the listing\n"
    "(a top-level file, or a top-level folder with everything below it) or an\n"
    "entry path (folder path and file name, with / or \\ between the parts).\n"
    "Existing files of the same name are replaced, each only once its entry has\n"
    "decoded completely; a damaged entry leaves the existing file alone. Entries\n"
    "whose paths would leave the destination, or lead through a link below it,\n"
    "are refused, and so is an entry that would replace the archive itself.\n"
    "\n"
    "  -o, --output FOLDER   destination (default: the current folder)\n"
    "\n"
    "Example: vellum extract -o restored backup.vlm photos notes.txt\n";

const char kList[] =
    "Usage: vellum list [--entries] ARCHIVE\n"
    "\n"
    "Lists the archive's rows: one per top-level file (packed size and size) and\n"
    "one per top-level folder, then a totals line.\n"
    "\n"
    "  --entries   list every entry record instead: offset, class, packed size,\n"
    "              size and folder path with file name\n";

const char kInfo[] =
    "Usage: vellum info ARCHIVE\n"
    "\n"
    "Shows the entry count, the mode (normal or solid), the block size, the\n"
    "total size, the packed size and the ratio.\n";

const char kDelete[] =
    "Usage: vellum delete ARCHIVE NAME...\n"
    "\n"
    "Removes the named rows (top-level files, or top-level folders with every\n"
    "entry below them) from a normal archive. The other records are copied\n"
    "unchanged. Solid archives cannot be changed.\n";

const char kTest[] =
    "Usage: vellum test ARCHIVE\n"
    "\n"
    "Decodes every entry without writing anything and reports damaged ones.\n";

const char kRepair[] =
    "Usage: vellum repair ARCHIVE\n"
    "\n"
    "Cuts off the unfinished entry that an add killed part way leaves at the end\n"
    "of an archive (normal or solid), or a last entry that runs past the end of\n"
    "the file, so that the archive holds exactly its finished entries, and says\n"
    "what it removed. It also removes what an interrupted delete left beside the\n"
    "archive. An archive with nothing unfinished is left as it is (exit status 0);\n"
    "damage of any other kind, such as a damaged record in the middle, is reported\n"
    "and nothing is changed (exit status 2). Repair reads record heads only: run\n"
    "vellum test to check the entries' data.\n";

}  // namespace

const char* help_text(CommandName command) {
    switch (command) {
        case CommandName::add: return kAdd;
        case CommandName::extract: return kExtract;
        case CommandName::list: return kList;
        case CommandName::info: return kInfo;
        case CommandName::remove: return kDelete;
        case CommandName::test: return kTest;
        case CommandName::repair: return kRepair;
        case CommandName::none: break;
    }
    return kOverview;
}

}  // namespace cli
}  // namespace vellum
