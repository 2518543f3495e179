#include "cli/console_text.h"

#include <cstring>

#include "archive/entry_path.h"
#include "archive/messages.h"

namespace vellum {
namespace cli {
namespace {

enum class Name { none, native, stored };  // what the text is

struct Style {
    const char* caption;  // as the core raises it
    const char* shown;    // the caption on the console; nullptr: unchanged
    Name name;
    bool reason;          // append the system's reason
    const char* outcome;  // nullptr: none
};

// One line per situation. A caption of the core that carries its outcome after a
// colon is split here so that the name and reason come between.
constexpr Style kStyles[] = {
    {msg::kOutputNotCreated.caption, "Cannot create file", Name::native, true, "skipped"},
    {msg::kOutputWriteFailed.caption, "Write error", Name::native, true, "file not written"},
    {msg::kSourceReadFailed.caption, "Read error", Name::native, true, "entry removed"},
    {msg::kArchiveWriteFailed.caption, "Write error", Name::native, true, "entry removed"},
    {msg::kArchiveItself.caption, "The archive itself", Name::native, false, "skipped"},
    {msg::kNameTooLong.caption, "Name too long", Name::native, false, "skipped"},
    {msg::kDamagedEntry.caption, "Damaged entry", Name::stored, false, "skipped"},
    {msg::kUnsafePath.caption, "Unsafe path", Name::stored, false, "skipped"},
    {msg::kLinkInPath.caption, "Link in the path", Name::stored, false, "skipped"},
    {msg::kOutputIsArchive.caption, "Would replace the archive being read", Name::stored, false, "skipped"},
    {msg::kColonInName.caption, "Name holds ':', a stream on this system", Name::stored, false, "skipped"},
    {msg::kNotRegularFile.caption, "Not a file or folder (pipe, socket or device)", Name::native, false,
     "skipped"},
    {msg::kNameWouldNotComeBack.caption, "Name cannot be extracted as it is", Name::native, false, "skipped"},
    {msg::kExtractArchiveFailed.caption, nullptr, Name::native, true, nullptr},
    {msg::kExtractRangeFailed.caption, nullptr, Name::native, true, nullptr},
    {msg::kListNotOpened.caption, nullptr, Name::native, true, nullptr},
    {msg::kDeleteSourceNotOpened.caption, nullptr, Name::native, true, "nothing deleted"},
    {msg::kDeleteTempNotCreated.caption, nullptr, Name::native, true, "nothing deleted"},
};

const char* kSolidOnlyNew = "--solid only creates new archives";

std::string with_reason(std::string line, const MessageContext& context) {
    if (context.error != 0) line += std::string(": ") + std::strerror(context.error);
    return line;
}

std::string with_outcome(std::string line, const char* outcome) {
    return outcome ? line + " (" + outcome + ")" : line;
}

// The fixed texts that say nothing of the archive they are about.
bool archive_notice(const std::string& text, const std::string& caption,
                    const MessageContext& c, std::string* line) {
    const std::string head = caption + ": " + text + ": " + c.archive;
    if (text == msg::kIncompatibleMode.text)
        *line = head + " exists, and " + kSolidOnlyNew + " (nothing added)";
    else if (text == msg::kArchiveClosed.text)
        *line = head + " is solid and cannot be added to; " + kSolidOnlyNew + " (nothing added)";
    else if (text == msg::kDeleteSolid.text)
        *line = head + " is solid and cannot be changed; " + kSolidOnlyNew + " (nothing deleted)";
    else if (text == msg::kNotArchive.text)
        *line = head + " (nothing added)";
    else
        return false;
    return true;
}

}  // namespace

std::string console_text(const std::string& text, const std::string& caption,
                         const MessageContext& context) {
    std::string line;
    if (archive_notice(text, caption, context, &line)) return line;
    // "NON VA BENE" names a source that could not be read, or the archive itself.
    if (caption == msg::kSourceNotOpened.caption) {
        const bool archive = !context.archive.empty() && text == context.archive;
        return with_outcome(with_reason(caption + ": " + text, context),
                            archive ? "nothing added" : "skipped");
    }
    for (const Style& style : kStyles) {
        if (caption != style.caption) continue;
        const std::string name = style.name == Name::stored ? native_form(text) : text;
        line = (style.shown ? style.shown : caption) + (name.empty() ? "" : ": " + name);
        if (style.reason) line = with_reason(line, context);
        return with_outcome(line, style.outcome);
    }
    return caption + (text.empty() ? "" : ": " + text);
}

}  // namespace cli
}  // namespace vellum
