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

std::string parse_option(const std::vector<std::string>& args, size_t& i, Options& o) {
    OptionText option = split_option(args[i]);
    const std::string& name = option.name;
    const bool flag_only = !option.has_value;
    if (flag_only && (name == "-q" || name == "--quiet")) {
        o.quiet = true;
        return {};
    }
    if (flag_only && (name == "-h" || name == "--help")) {
        o.help = true;
        return {};
    }
    if (flag_only && name == "--version") {
        o.version = true;
        return {};
    }

    const CommandName c = o.command;
    const bool known = name == "--solid" || name == "--block" || name == "-o" ||
                       name == "--output" || name == "--entries";
    if (!known || (name.size() == 2 && args[i].size() > 2 && name != "-o"))
        return "unknown option '" + args[i] + "'";
    if (c == CommandName::none)
        return "option '" + name + "' comes after the command word";

    if (name == "--solid" && c == CommandName::add && flag_only) {
        o.solid = true;
        return {};
    }
    if (name == "--entries" && c == CommandName::list && flag_only) {
        o.entries = true;
        return {};
    }
    if (name == "--block" && c == CommandName::add) {
        if (!take_value(args, i, option)) return "--block needs a size (8M .. 512M)";
        o.buffer_setting = parse_block_size(option.value);
        o.block_given = true;
        if (o.buffer_setting < 0)
            return "invalid block size '" + option.value +
                   "' (use 8M, 16M, 32M, 64M, 128M, 256M or 512M)";
        return {};
    }
    if ((name == "-o" || name == "--output") && c == CommandName::extract) {
        if (!take_value(args, i, option) || option.value.empty())
            return name + " needs a folder";
        o.output_folder = option.value;
        return {};
    }
    if (option.has_value && (name == "--solid" || name == "--entries"))
        return "option '" + name + "' takes no value";
    return "option '" + name + "' does not apply to " + command_word(c);
}

std::string take_operands(const std::vector<std::string>& operands, Options& o) {
    if (operands.empty() || operands[0].empty()) return "missing archive name";
    o.archive = operands[0];
    o.operands.assign(operands.begin() + 1, operands.end());
    switch (o.command) {
        case CommandName::add:
            if (o.operands.empty()) return "nothing to add: name files or folders after the archive";
            break;
        case CommandName::remove:
            if (o.operands.empty()) return "name the entries to delete after the archive";
            break;
        case CommandName::list:
        case CommandName::info:
        case CommandName::test:
            if (!o.operands.empty()) return "unexpected operand '" + o.operands[0] + "'";
            break;
        default: break;
    }
    for (const std::string& operand : o.operands)
        if (operand.empty()) return "empty name among the operands";
    return {};
}

}  // namespace

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
    for (int setting = 0; setting <= 6; ++setting)
        if (mebibytes == (8 << setting)) return setting;
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
