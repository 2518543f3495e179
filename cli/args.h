// The command line of vellum: one command word, its options and its operands.
// Parsing only reads argv; nothing is checked on disk here.
#pragma once

#include <string>
#include <vector>

#include "archive/format.h"

namespace vellum {
namespace cli {

enum class CommandName { none, add, extract, list, info, remove, test, repair };

struct Options {
    CommandName command = CommandName::none;
    std::string archive;
    std::vector<std::string> operands;  // add: paths; extract, delete, list: names or patterns
    bool solid = false;                 // add --solid
    int buffer_setting = kDefaultBufferSetting;  // add --block, as the setting 0..kMaxBufferSetting
    bool block_given = false;
    std::string output_folder;          // extract -o / -C; empty means the current folder
    bool create_new = false;            // create (c): add to a new archive only
    bool entries = false;               // list --entries
    bool rows = false;                  // list --rows: the archive view's top-level rows
    bool verbose = false;               // list -v: every entry with its mode, class and offset
    bool json = false;                  // list, info --json
    bool meta = true;                   // add: metadata kept (--no-meta: not)
    bool best = false;                  // add --best
    bool update = false;                // add -u: changed held files replaced
    bool strong = false;                // add --strong
    bool keep_old = false;              // extract -k
    bool absolute_links = false;        // extract -P: links to absolute targets made
    bool to_stdout = false;             // extract --stdout
    std::vector<std::string> excludes;  // add, extract --exclude
    unsigned threads = 0;               // add, extract, test -T: 0 = one per core
    bool quiet = false;
    bool help = false;
    bool version = false;
};

struct ParseResult {
    Options options;
    std::string error;  // empty when the command line is usable
};

ParseResult parse_args(const std::vector<std::string>& args);

// The archive operand "-": standard input for the commands that read an archive
// (list, info, test, extract), standard output for a new archive (add, create).
inline bool is_standard_stream(const std::string& archive) { return archive == "-"; }

// The worker threads of -T: 1..kMaxThreads, or -1.
constexpr int kMaxThreads = 64;
int parse_thread_count(const std::string& text);

// "8M" .. "512M" (an optional "iB" or "B" after the M, any case): the buffer size
// setting, or -1.
int parse_block_size(const std::string& text);

const char* command_word(CommandName command);

}  // namespace cli
}  // namespace vellum
