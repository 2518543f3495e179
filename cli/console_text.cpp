#include "cli/console_text.h"

#include <cstring>

#include "archive/entry_path.h"
#include "archive/messages.h"

namespace vellum {
namespace cli {
namespace {

enum class Name { none, native, stored };  // what the subject is

struct Style {
    MessageId id;
    const char* shown;    // the caption on the console; nullptr: the box's caption
    Name name;
    bool reason;          // append the system's reason
    const char* outcome;  // nullptr: none
};

// One line per situation. A box caption that carries its outcome after a colon
// is split here so that the name and reason come between.
constexpr Style kStyles[] = {
    {MessageId::destination_failed, "Cannot create the destination folder", Name::native, true, "nothing extracted"},
    {MessageId::output_not_created, "Cannot create file", Name::native, true, "skipped"},
    {MessageId::output_write_failed, "Write error", Name::native, true, "file not written"},
    {MessageId::source_read_failed, "Read error", Name::native, true, "entry removed"},
    {MessageId::source_changed, "File changed while it was read", Name::native, false, "stored as read"},
    {MessageId::archive_write_failed, "Write error", Name::native, true, "entry removed"},
    {MessageId::archive_itself, "The archive itself", Name::native, false, "skipped"},
    {MessageId::name_too_long, "Name too long", Name::native, false, "skipped"},
    {MessageId::damaged_entry, "Damaged entry", Name::stored, false, "skipped"},
    {MessageId::checksum_mismatch, "Damaged entry", Name::stored, false, "checksum differs, file not written"},
    {MessageId::late_checksum_mismatch, "Damaged entry", Name::native, false,
     "checksum differs; read from a stream, the file was written before its checksum came, and is removed"},
    {MessageId::archive_exists, "Archive exists", Name::native, false,
     "create makes new archives only; add adds to an existing one; nothing added"},
    {MessageId::unsafe_path, "Unsafe path", Name::stored, false, "skipped"},
    {MessageId::link_in_path, "Link in the path", Name::stored, false, "skipped"},
    {MessageId::output_is_archive, "Would replace the archive being read", Name::stored, false, "skipped"},
    {MessageId::colon_in_name, "Name holds ':', a stream on this system", Name::stored, false, "skipped"},
    {MessageId::not_regular_file, "Not a file or folder (pipe, socket or device)", Name::native, false,
     "skipped"},
    {MessageId::name_would_not_come_back, "Name cannot be extracted as it is", Name::native, false, "skipped"},
    {MessageId::unsafe_link, "Unsafe link", Name::stored, false, "skipped"},
    {MessageId::link_not_created, "Cannot create link", Name::native, true, "skipped"},
    {MessageId::attributes_not_set, "Cannot restore mode or time", Name::native, true, nullptr},
    {MessageId::meta_not_written, "The metadata entry could not be written", Name::native, true,
     "files added without it"},
    {MessageId::meta_unreadable, "Metadata entry cannot be read", Name::native, false, "passed over"},
    {MessageId::extract_archive_failed, nullptr, Name::native, true, nullptr},
    {MessageId::extract_range_failed, nullptr, Name::native, true, nullptr},
    {MessageId::list_not_opened, nullptr, Name::native, true, nullptr},
    {MessageId::delete_source_not_opened, nullptr, Name::native, true, "nothing deleted"},
    {MessageId::delete_temp_not_created, nullptr, Name::native, true, "nothing deleted"},
    {MessageId::delete_read_failed, nullptr, Name::native, true, nullptr},
    {MessageId::delete_write_failed, nullptr, Name::native, true, nullptr},
    {MessageId::delete_replace_failed, nullptr, Name::native, true, nullptr},
    {MessageId::delete_remove_failed, nullptr, Name::native, true, nullptr},
    {MessageId::repair_not_opened, nullptr, Name::native, true, nullptr},
    {MessageId::repair_failed, nullptr, Name::native, true, nullptr},
    {MessageId::archive_not_created, nullptr, Name::native, true, "nothing added"},
};

const char* kSolidOnlyNew = "--solid only creates new archives";

std::string with_reason(std::string line, int error) {
    if (error != 0) line += std::string(": ") + std::strerror(error);
    return line;
}

std::string with_outcome(std::string line, const char* outcome) {
    return outcome ? line + " (" + outcome + ")" : line;
}

// The fixed texts that say nothing of the archive they are about.
bool archive_notice(const Message& message, const std::string& archive, std::string* line) {
    const MessageText& m = message_text(message.id);
    const std::string head = std::string(m.caption) + ": " + (m.text ? m.text : "") + ": " + archive;
    switch (message.id) {
        case MessageId::incompatible_mode:
            *line = head + " exists, and " + kSolidOnlyNew + " (nothing added)";
            return true;
        case MessageId::archive_closed:
            *line = head + " is solid and cannot be added to; " + kSolidOnlyNew + " (nothing added)";
            return true;
        case MessageId::delete_solid:
            *line = head + " is solid and cannot be changed; " + kSolidOnlyNew + " (nothing deleted)";
            return true;
        case MessageId::not_archive:
            *line = head + " (nothing added)";
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string console_text(const Message& message, const std::string& archive) {
    std::string line;
    if (archive_notice(message, archive, &line)) return line;
    const MessageText& m = message_text(message.id);
    const std::string subject = escaped_name(message.subject);
    if (message.id == MessageId::kept_existing) return subject + ": exists, kept (--keep-old-files)";
    // "NON VA BENE" names a source that could not be read, or the archive itself.
    if (message.id == MessageId::source_not_opened) {
        const bool is_archive = !archive.empty() && message.subject == archive;
        return with_outcome(with_reason(std::string(m.caption) + ": " + subject, message.error),
                            is_archive ? "nothing added" : "skipped");
    }
    for (const Style& style : kStyles) {
        if (style.id != message.id) continue;
        const std::string name = style.name == Name::stored ? escaped_name(native_form(message.subject)) : subject;
        line = (style.shown ? style.shown : m.caption) + (name.empty() ? "" : ": " + name);
        if (style.reason) line = with_reason(line, message.error);
        return with_outcome(line, style.outcome);
    }
    const std::string text = m.text ? std::string(m.text) : subject;
    return std::string(m.caption) + (text.empty() ? "" : ": " + text);
}

}  // namespace cli
}  // namespace vellum
