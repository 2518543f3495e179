#include "cli/help.h"

namespace vellum {
namespace cli {
namespace {

const char kOverview[] =
    "Usage: vellum [-q] COMMAND [OPTIONS] ARCHIVE [NAME...]\n"
    "\n"
    "Commands (each with a one-letter alias):\n"
    "  add, a      ARCHIVE PATH...   add files and folders to an archive\n"
    "  create, c   ARCHIVE PATH...   the same, into a new archive only\n"
    "  extract, x  ARCHIVE [NAME...] extract every entry, or the named ones\n"
    "  list, l     ARCHIVE [NAME...] list every entry (files, folders, links), or the named ones\n"
    "  info, i     ARCHIVE           entry count, mode, block size, sizes, ratio\n"
    "  delete, d   ARCHIVE NAME...   remove entries from a normal archive\n"
    "  test, t     ARCHIVE           decode every entry without writing it\n"
    "  repair, r   ARCHIVE           cut off an entry left unfinished by a kill\n"
    "\n"
    "Options for every command:\n"
    "  -q, --quiet   no progress display and no summary line\n"
    "  -h, --help    this text, or the command's own with a command word\n"
    "  --version     the program's version\n"
    "\n"
    "An archive name without the extension .vlm gets it. The archive '-' is\n"
    "standard input for list, info, test and extract (read front to back), and\n"
    "standard output for add and create (a new archive). Other archives are files\n"
    "on disk: a pipe or a device named by its path is refused. After '--' every\n"
    "argument is an operand, even one that starts with '-'.\n"
    "\n"
    "NAME is a row of the listing (a top-level file, or a top-level folder with\n"
    "everything below it), an entry path (docs/sub/b.txt), a folder path (every\n"
    "entry below it), or a shell-style pattern, quoted against the shell:\n"
    "  *  any characters but '/'    ?  one character    [a-z] [!a-z]  classes\n"
    "  ** any characters, '/' too: 'docs/**/*.html'\n"
    "A pattern without '/' also matches any single part of a path: '*.txt' takes\n"
    "every text file at any depth. Names that match nothing are reported.\n"
    "\n"
    "Messages go to stderr, one line each: vellum: WHAT: NAME: REASON (OUTCOME).\n"
    "Exit status: 0 success, 1 some files skipped or damaged, 2 fatal error or bad usage\n"
    "(also: the archive is in use by another command), 130 interrupted.\n"
    "The manual page (man vellum) and the README say more.\n";

const char kAdd[] =
    "Usage: vellum add [--solid | --best] [--strong] [--block SIZE] [--no-meta] [-u] [--exclude PATTERN]\n"
    "                  [-T N] ARCHIVE PATH...\n"
    "       vellum create [OPTIONS] ARCHIVE PATH...   (alias c: the same, into a new\n"
    "                  archive only; an existing one is refused)\n"
    "\n"
    "Adds every file named, and every file below every folder named, in the\n"
    "order given. A folder's files keep their paths below the folder's own name.\n"
    "A missing archive is created; adding to an existing normal archive uses the\n"
    "archive's own block size. A path named twice (f, ./f) is added once; the\n"
    "archive itself is never added. A file whose path the archive already holds\n"
    "is left as it is and not stored again (one notice says how many): the add\n"
    "only appends, so what the archive held stays byte for byte and a kill\n"
    "cannot touch it; -u replaces the changed ones. When\n"
    "nothing could be added, a new archive is not left behind. The archive '-'\n"
    "is standard output: a new archive written record by record (the summary\n"
    "goes to stderr).\n"
    "\n"
    "  --solid        create a solid archive: the files share one model history,\n"
    "                 so similar files code smaller. A solid archive is written\n"
    "                 by one command and cannot be added to later.\n"
    "  --best         code every file with each parameter set of the class table\n"
    "                 (stored unchanged too) and keep the smallest entry: never\n"
    "                 larger than the default, about 20 times slower. Every\n"
    "                 reader extracts such an archive as usual. Normal mode only.\n"
    "  --strong       code with the strong codec, a context-mixing coder: about\n"
    "                 a fifth smaller than the default, 15 to 20 times slower\n"
    "                 both ways, up to 215 MiB of tables per worker. Files of\n"
    "                 already compressed types stay stored, and so does a file\n"
    "                 it would make larger. An entry of a later version of the\n"
    "                 codec is reported as \"unsupported codec\" with the version\n"
    "                 it needs, and the others extract. With --best, its text,\n"
    "                 binary and x86 models join the trials.\n"
    "  --block SIZE   block size of a new archive: 8M, 16M, 32M, 64M, 128M\n"
    "                 (the default), 256M or 512M\n"
    "  By default add also keeps what the format itself does not: each file's\n"
    "                 permission bits, modification time and 64-bit checksum\n"
    "                 (xxHash), every folder (empty ones too) with its mode and\n"
    "                 time, symbolic links as links (their text), and a file's\n"
    "                 other names (hard links) as names, the file stored once.\n"
    "                 They go\n"
    "                 into one extra entry, .vellum/meta, after the command's\n"
    "                 files, coded as text and readable on its own (in solid\n"
    "                 archives too). extract gives them back (links only when\n"
    "                 they stay inside the destination), test and extract check\n"
    "                 the checksums, list shows the times, folders and links.\n"
    "  --no-meta      file bytes and names only, links followed: the plain\n"
    "                 archive the desktop program writes.\n"
    "  --meta         the default, accepted as before.\n"
    "  -u, --update   replace the held files that changed: a file whose size,\n"
    "                 time and checksum match its entry's metadata is left as\n"
    "                 it is, any other (an entry without metadata too) is\n"
    "                 stored anew and its old entry goes. The new archive is\n"
    "                 written beside the old one and replaces it in one step:\n"
    "                 a kill leaves the old archive or the new one. Run again\n"
    "                 after an add was stopped, -u completes it.\n"
    "  --exclude PATTERN   leave out files and folders whose path in the archive\n"
    "                 the pattern selects (see vellum --help); repeatable.\n"
    "                 An excluded folder is not entered.\n"
    "  -T, --threads N   files coded at once, each by its own thread (default:\n"
    "                 one per core; 1 codes one file after another). The\n"
    "                 archive is the same byte for byte with any N. A solid\n"
    "                 archive, and a single file, are coded by one thread.\n"
    "\n"
    "Example: vellum add --exclude '*.o' backup.vlm notes.txt photos/\n";

const char kExtract[] =
    "Usage: vellum extract [-o FOLDER | -C FOLDER | --stdout] [-k] [-P] [--exclude PATTERN] [-T N]\n"
    "                      ARCHIVE [NAME...]\n"
    "\n"
    "Extracts every entry, or only those named (rows, entry paths, folder paths\n"
    "or patterns: see vellum --help). Existing files of the same name are\n"
    "replaced unless -k is given, each only once its entry has decoded\n"
    "completely; a damaged entry leaves the existing file alone. Entries whose\n"
    "paths would leave the destination, or lead through a link below it, are\n"
    "refused, and so is an entry that would replace the archive itself. The\n"
    "archive '-' is read from standard input, front to back: a file's checksum,\n"
    "mode and time then come with the metadata after it (a file that differs is\n"
    "removed again), and one thread decodes.\n"
    "\n"
    "  -o, --output FOLDER     destination (default: the current folder); it may\n"
    "  -C, --directory FOLDER  be a link to a folder\n"
    "  -k, --keep-old-files    leave existing files alone, saying so and counting\n"
    "                          them in the summary\n"
    "  -P, --absolute-links    also make the links whose target is an absolute\n"
    "                          path (otherwise refused as unsafe). Links are still\n"
    "                          made last, as links, and nothing is written\n"
    "                          through them\n"
    "  --stdout                write the entries' bytes, in archive order, to\n"
    "                          standard output and nothing else (the summary\n"
    "                          goes to stderr)\n"
    "  --exclude PATTERN       leave out the entries the pattern selects; repeatable\n"
    "  -T, --threads N         entries of a normal archive decoded at once\n"
    "                          (default: one per core); results and messages\n"
    "                          come in archive order all the same\n"
    "\n"
    "Examples: vellum extract -o restored backup.vlm photos notes.txt\n"
    "          vellum x --stdout backup.vlm notes.txt | less\n"
    "          vellum a - photos | vellum x - -C copy\n";

const char kList[] =
    "Usage: vellum list [-v | --rows | --entries | --json] ARCHIVE [NAME...]\n"
    "\n"
    "Lists every entry: packed size, size, the modification time when the\n"
    "archive has metadata, the kind (file, folder, link) and the path; a link\n"
    "shows its target, a folder ends in '/'. Folders and links come from the\n"
    "metadata. A totals line counts the entries (the files), the folders and the\n"
    "links, and names the metadata entries apart, as info and test count. With\n"
    "names or patterns, lists the entries they select. The archive '-' is read\n"
    "from standard input.\n"
    "\n"
    "  -v, --verbose   the same with each entry's mode and class\n"
    "  --rows          the top-level rows: one per top-level file and one per\n"
    "                  top-level folder with the number of entries below it\n"
    "  --entries   every record of the file instead, with these columns:\n"
    "                Offset  where the record starts in the archive file\n"
    "                Class   the file class chosen when it was added, by number\n"
    "                        and name (it fixes the codec's settings; \"stored\"\n"
    "                        entries are kept unchanged)\n"
    "                Packed  the whole record's length: its head and its data\n"
    "                Size    the file's own length\n"
    "                Path    folder path and file name\n"
    "  --json      one JSON document for scripts (field names in the README)\n";

const char kInfo[] =
    "Usage: vellum info [--json] ARCHIVE\n"
    "\n"
    "Shows the entry count (the files; with metadata also the folders, the links\n"
    "and the metadata entries, counted apart), the mode (normal or solid), the\n"
    "block size, the total size, the packed size and the ratio.\n"
    "\n"
    "  --json   the same as one JSON document (field names in the README)\n";

const char kDelete[] =
    "Usage: vellum delete ARCHIVE NAME...\n"
    "\n"
    "Removes the named entries from a normal archive: rows (top-level files, or\n"
    "top-level folders with every entry below them), entry paths, folder paths\n"
    "or patterns (see vellum --help), also single entries inside a folder. The\n"
    "other records are copied unchanged. Folders, links and hard links of the\n"
    "metadata are named the same way: their metadata entry is written anew\n"
    "without them (a hard link goes with its file too). Solid archives cannot\n"
    "be changed.\n";

const char kTest[] =
    "Usage: vellum test [-T N] ARCHIVE\n"
    "\n"
    "Decodes every entry without writing anything and reports damaged ones.\n"
    "Files added with metadata are also checked against their checksums. The\n"
    "metadata entries are counted apart, as list and info count. The archive\n"
    "'-' is read from standard input.\n"
    "\n"
    "  -T, --threads N   entries of a normal archive decoded at once (default:\n"
    "                    one per core)\n";

const char kRepair[] =
    "Usage: vellum repair ARCHIVE\n"
    "\n"
    "Cuts off the unfinished entry that an add killed part way leaves at the end\n"
    "of an archive (normal or solid), or a last entry that runs past the end of\n"
    "the file, so that the archive holds exactly its finished entries, and says\n"
    "what it removed. It also removes what an interrupted delete left beside the\n"
    "archive. An archive with nothing unfinished is left as it is (exit status 0);\n"
    "damage of any other kind, such as a damaged record in the middle, is named\n"
    "with what can still be done, and nothing is changed (exit status 2). Repair\n"
    "reads record heads only and says so: vellum test checks the entries' data.\n";

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
