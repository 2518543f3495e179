#include "cli/args.h"

#include <cctype>

namespace vellum {
namespace cli {
namespace {

struct CommandWord {
    const char* word;
    const char* alias;
    CommandName command;
};

constexpr CommandWord kCommands[] = {
    {"add", "a", CommandName::add},       {"extract", "x", CommandName::extract},
    {"list", "l", CommandName::list},     {"info", "i", CommandName::info},
    {"delete", "d", CommandName::remove}, {"test", "t", CommandName::test},
    {"repair", "r", CommandName::repair},
    // An add that makes a new archive and refuses an existing one.
    {"create", "c", CommandName::add},
};

CommandName find_command(const std::string& word) {
    for (const CommandWord& c : kCommands)
        if (word == c.word || word == c.alias) return c.command;
    return CommandName::none;
}

// One option as written: "--name=value" splits at the '=', "-oDIR" after the
// two characters of the short form.
struct OptionText {
    std::string name;
    std::string value;
    bool has_value = false;
};

OptionText split_option(const std::string& arg) {
    OptionText option;
    if (arg.compare(0, 2, "--") == 0) {
        const size_t equals = arg.find('=');
        option.name = arg.substr(0, equals);
        if (equals != std::string::npos) {
            option.value = arg.substr(equals + 1);
            option.has_value = true;
        }
    } else {
        option.name = arg.substr(0, 2);
        if (arg.size() > 2) {
            option.value = arg.substr(2);
            option.has_value = true;
        }
    }
    return option;
}

// Takes the option's value from the option itself or from the next argument.
bool take_value(const std::vector<std::string>& args, size_t& i, OptionText& option) {
    if (option.has_value) return true;
    if (i + 1 >= args.size()) return false;
    option.value = args[++i];
    option.has_value = true;
    return true;
}

// Options that belong to some commands: a bit per command.
constexpr unsigned bit(CommandName command) { return 1u << static_cast<unsigned>(command); }
constexpr unsigned kAdd = bit(CommandName::add), kExtract = bit(CommandName::extract),
                   kList = bit(CommandName::list), kInfo = bit(CommandName::info),
                   kTest = bit(CommandName::test);

struct CommandOption {
    const char* name;
    const char* short_name;  // nullptr when there is none
    unsigned commands;
    const char* value;       // what the value is, for "needs a ..."; nullptr: no value
};

constexpr CommandOption kCommandOptions[] = {
    {"--solid", nullptr, kAdd, nullptr},
    {"--block", nullptr, kAdd, "size"},
    {"--meta", nullptr, kAdd, nullptr},
    {"--no-meta", nullptr, kAdd, nullptr},
    {"--update", "-u", kAdd, nullptr},
    {"--best", nullptr, kAdd, nullptr},
    {"--strong", nullptr, kAdd, nullptr},
    {"--threads", "-T", kAdd | kExtract | kTest, "number"},
    {"--exclude", nullptr, kAdd | kExtract, "pattern"},
    {"--output", "-o", kExtract, "folder"},
    {"--directory", "-C", kExtract, "folder"},
    {"--keep-old-files", "-k", kExtract, nullptr},
    {"--absolute-links", "-P", kExtract, nullptr},
    {"--stdout", nullptr, kExtract, nullptr},
    {"--entries", nullptr, kList, nullptr},
    {"--rows", nullptr, kList, nullptr},
    {"--verbose", "-v", kList, nullptr},
    {"--json", nullptr, kList | kInfo, nullptr},
};

const CommandOption* find_option(const std::string& name) {
    for (const CommandOption& option : kCommandOptions)
        if (name == option.name || (option.short_name && name == option.short_name)) return &option;
    return nullptr;
}

std::string apply_option(const CommandOption& option, const std::string& value, Options& o) {
    const std::string name = option.name;
    if (name == "--solid") o.solid = true;
    if (name == "--meta") o.meta = true;
    if (name == "--no-meta") o.meta = false;
    if (name == "--update") o.update = true;
    if (name == "--best") o.best = true;
    if (name == "--strong") o.strong = true;
    if (name == "--threads") {
        const int count = parse_thread_count(value);
        if (count < 0)
            return "invalid thread count '" + value + "' (use 1 to " + std::to_string(kMaxThreads) + ")";
        o.threads = static_cast<unsigned>(count);
    }
    if (name == "--entries") o.entries = true;
    if (name == "--rows") o.rows = true;
    if (name == "--verbose") o.verbose = true;
    if (name == "--json") o.json = true;
    if (name == "--stdout") o.to_stdout = true;
    if (name == "--keep-old-files") o.keep_old = true;
    if (name == "--absolute-links") o.absolute_links = true;
    if (name == "--exclude") {
        if (value.empty()) return "--exclude needs a pattern";
        o.excludes.push_back(value);
    }
    if (name == "--output" || name == "--directory") {
        if (value.empty()) return name + " needs a folder";
        if (!o.output_folder.empty() && o.output_folder != value)
            return "two destinations given ('" + o.output_folder + "' and '" + value + "')";
        o.output_folder = value;
    }
    if (name == "--block") {
        o.buffer_setting = parse_block_size(value);
        o.block_given = true;
        if (o.buffer_setting < 0)
            return "invalid block size '" + value + "' (use 8M, 16M, 32M, 64M, 128M, 256M or 512M)";
    }
    return {};
}

std::string parse_option(const std::vector<std::string>& args, size_t& i, Options& o) {
    OptionText text = split_option(args[i]);
    // The options of every command, before or after the command word.
    bool* flag = nullptr;
    if (text.name == "-q" || text.name == "--quiet") flag = &o.quiet;
    if (text.name == "-h" || text.name == "--help") flag = &o.help;
    if (text.name == "--version") flag = &o.version;
    if (flag && !text.has_value) {
        *flag = true;
        return {};
    }
    const CommandOption* option = find_option(text.name);
    // A short option glued to more than a value ("-qz") is no option of ours.
    if (!option || (text.has_value && !option->value && text.name.size() == 2))
        return "unknown option '" + args[i] + "'";
    if (o.command == CommandName::none)
        return "option '" + text.name + "' comes after the command word";
    if ((option->commands & bit(o.command)) == 0)
        return "option '" + text.name + "' does not apply to " + command_word(o.command);
    if (!option->value && text.has_value)
        return "option '" + text.name + "' takes no value";
    if (option->value && !take_value(args, i, text))
        return text.name + " needs a " + option->value;
    return apply_option(*option, text.value, o);
}

std::string take_operands(const std::vector<std::string>& operands, Options& o) {
    if (operands.empty() || operands[0].empty()) return "missing archive name";
    o.archive = operands[0];
    if (is_standard_stream(o.archive) && (o.command == CommandName::remove || o.command == CommandName::repair))
        return std::string("'-' is no archive for ") + command_word(o.command) +
               ": it changes an archive in place, so name a file (write ./- for a file of that name)";
    o.operands.assign(operands.begin() + 1, operands.end());
    switch (o.command) {
        case CommandName::add:
            if (o.operands.empty()) return "nothing to add: name files or folders after the archive";
            if (o.best && o.solid)
                return "--best and --solid exclude each other: a solid file cannot be coded again "
                       "without the history before it";
            break;
        case CommandName::remove:
            if (o.operands.empty()) return "name the entries to delete after the archive";
            break;
        case CommandName::extract:
            if (o.to_stdout && !o.output_folder.empty()) return "--stdout and --output exclude each other";
            break;
        case CommandName::list: {
            const int views = (o.entries ? 1 : 0) + (o.rows ? 1 : 0) + (o.verbose ? 1 : 0) + (o.json ? 1 : 0);
            if (views > 1) return "--entries, --rows, -v and --json each choose a view: give one";
            break;
        }
        case CommandName::info:
        case CommandName::test:
        case CommandName::repair:
            if (!o.operands.empty()) return "unexpected operand '" + o.operands[0] + "'";
            break;
        default: break;
    }
    for (const std::string& operand : o.operands)
        if (operand.empty()) return "empty name among the operands";
    return {};
}

}  // namespace

int parse_thread_count(const std::string& text) {
    if (text.empty() || text.size() > 2) return -1;
    int count = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        count = count * 10 + (c - '0');
    }
    return count >= 1 && count <= kMaxThreads ? count : -1;
}

int parse_block_size(const std::string& text) {
    size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])))
        ++digits;
    if (digits == 0 || digits > 3) return -1;
    std::string unit;
    for (size_t i = digits; i < text.size(); ++i)
        unit += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    if (unit != "M" && unit != "MB" && unit != "MIB") return -1;
    const int mebibytes = std::stoi(text.substr(0, digits));
    for (int setting = 0; setting <= kMaxBufferSetting; ++setting)
        if (static_cast<uint64_t>(mebibytes) == block_mebibytes(setting)) return setting;
    return -1;
}

const char* command_word(CommandName command) {
    for (const CommandWord& c : kCommands)
        if (c.command == command) return c.word;
    return "vellum";
}

ParseResult parse_args(const std::vector<std::string>& args) {
    ParseResult result;
    Options& o = result.options;
    std::vector<std::string> operands;
    bool options_done = false;
    for (size_t i = 0; i < args.size() && result.error.empty(); ++i) {
        const std::string& arg = args[i];
        const bool is_option = !options_done && arg.size() > 1 && arg[0] == '-';
        if (is_option && arg == "--") {
            options_done = true;
        } else if (is_option) {
            result.error = parse_option(args, i, o);
        } else if (o.command == CommandName::none) {
            o.command = find_command(arg);
            o.create_new = arg == "create" || arg == "c";
            if (o.command == CommandName::none) result.error = "unknown command '" + arg + "'";
        } else {
            operands.push_back(arg);
        }
    }
    if (!result.error.empty() || o.help || o.version) return result;
    if (o.command == CommandName::none) {
        result.error = "no command given";
        return result;
    }
    result.error = take_operands(operands, o);
    return result;
}

}  // namespace cli
}  // namespace vellum
