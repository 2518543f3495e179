#include "meta/meta_format.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace vellum {
namespace {

bool needs_escape(unsigned char c) { return c < 0x21 || c == 0x7F || c == '%'; }

void append_escaped(std::string* out, const std::string& text) {
    if (text.empty()) {
        *out += '%';  // a lone '%' stands for the empty text
        return;
    }
    for (unsigned char c : text) {
        if (!needs_escape(c)) {
            *out += static_cast<char>(c);
            continue;
        }
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        *out += hex;
    }
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A field's text back, into *out. A NUL is damage: no name on disk holds one,
// and a system call would read the text only up to it. Other control bytes are
// damage in a link (`text` false), whose path and target the system interprets;
// a file or folder name may hold them, as the records' own names may.
bool unescape(const char* at, const char* end, std::string* out, bool text = false) {
    out->clear();
    if (end - at == 1 && *at == '%') return true;
    for (; at < end; ++at) {
        unsigned char c = static_cast<unsigned char>(*at);
        if (c == '%') {
            if (end - at < 3) return false;
            const int high = hex_digit(at[1]), low = hex_digit(at[2]);
            if (high < 0 || low < 0) return false;
            c = static_cast<unsigned char>(high * 16 + low);
            at += 2;
        }
        if (c == 0 || (text && (c < 0x20 || c == 0x7F))) return false;
        *out += static_cast<char>(c);
    }
    return true;
}

// Unsigned number in `base`, whole field, no sign, no overflow.
bool number(const char* at, const char* end, int base, uint64_t* value) {
    if (at == end) return false;
    uint64_t v = 0;
    for (; at < end; ++at) {
        const int d = hex_digit(*at);
        if (d < 0 || d >= base || v > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base))
            return false;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    *value = v;
    return true;
}

bool signed_number(const char* at, const char* end, int64_t* value) {
    const bool negative = at < end && *at == '-';
    uint64_t magnitude = 0;
    if (!number(at + (negative ? 1 : 0), end, 10, &magnitude) || magnitude > static_cast<uint64_t>(INT64_MAX))
        return false;
    *value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

struct Field {
    const char* at;
    const char* end;
};

// Splits a line at single blanks; false when it has more than `most` fields.
size_t split(const char* at, const char* end, Field* fields, size_t most) {
    size_t count = 0;
    const char* start = at;
    for (;; ++at) {
        if (at < end && *at != ' ') continue;
        if (count == most) return most + 1;
        fields[count++] = Field{start, at};
        if (at == end) return count;
        start = at + 1;
    }
}

bool time_fields(const Field& sec, const Field& nsec, MetaLine* m) {
    uint64_t ns = 0;
    if (!signed_number(sec.at, sec.end, &m->seconds) || !number(nsec.at, nsec.end, 10, &ns) || ns >= 1000000000u)
        return false;
    m->nanoseconds = static_cast<uint32_t>(ns);
    return true;
}

bool mode_field(const Field& f, MetaLine* m) {
    uint64_t mode = 0;
    if (!number(f.at, f.end, 8, &mode) || mode > 07777) return false;
    m->mode = static_cast<uint32_t>(mode);
    return true;
}

enum class LineResult { line, unknown, damaged };

LineResult parse_line(const char* at, const char* end, MetaLines* out) {
    Field f[9];
    const size_t n = split(at, end, f, 8);
    const std::string kind(f[0].at, f[0].end);
    MetaLine m;
    std::string path, target;
    if (kind == "F") {
        m.kind = MetaKind::file;
        if (n != 8 || !mode_field(f[1], &m) || !time_fields(f[2], f[3], &m) ||
            !number(f[4].at, f[4].end, 10, &m.size) || !number(f[5].at, f[5].end, 16, &m.checksum) ||
            !number(f[6].at, f[6].end, 10, &m.record_length) || !unescape(f[7].at, f[7].end, &path))
            return LineResult::damaged;
    } else if (kind == "D") {
        m.kind = MetaKind::folder;
        if (n != 5 || !mode_field(f[1], &m) || !time_fields(f[2], f[3], &m) || !unescape(f[4].at, f[4].end, &path))
            return LineResult::damaged;
    } else if (kind == "L") {
        m.kind = MetaKind::link;
        if (n != 5 || !time_fields(f[1], f[2], &m) || !unescape(f[3].at, f[3].end, &path, true) ||
            !unescape(f[4].at, f[4].end, &target, true))
            return LineResult::damaged;
    } else if (kind == "H") {
        m.kind = MetaKind::hard_link;
        // File paths both, which may hold control bytes as F lines' do.
        if (n != 3 || !unescape(f[1].at, f[1].end, &path) || !unescape(f[2].at, f[2].end, &target) ||
            target.empty())
            return LineResult::damaged;
    } else {
        return LineResult::unknown;
    }
    if (path.empty()) return LineResult::damaged;
    out->add(m, path, target);
    return LineResult::line;
}

}  // namespace

void MetaLines::add(MetaLine line, const std::string& path, const std::string& target) {
    line.path_at = static_cast<uint32_t>(store_.size());
    line.path_size = static_cast<uint32_t>(path.size());
    store_ += path;
    line.target_at = static_cast<uint32_t>(store_.size());
    line.target_size = static_cast<uint32_t>(target.size());
    store_ += target;
    lines_.push_back(line);
}

void MetaLines::remove(std::vector<size_t> indexes) {
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    size_t kept = 0, next = 0;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (next < indexes.size() && indexes[next] == i) {
            ++next;
            continue;
        }
        lines_[kept++] = lines_[i];
    }
    lines_.resize(kept);
}

std::string encode_meta(const MetaLines& lines) {
    std::string out = "vellum-meta " + std::to_string(kMetaVersion) + "\n";
    char text[160];
    for (const MetaLine& m : lines.lines()) {
        switch (m.kind) {
            case MetaKind::file:
                std::snprintf(text, sizeof text, "F %o %" PRId64 " %u %" PRIu64 " %016" PRIx64 " %" PRIu64 " ",
                              m.mode, m.seconds, m.nanoseconds, m.size, m.checksum, m.record_length);
                out += text;
                append_escaped(&out, lines.path(m));
                break;
            case MetaKind::folder:
                std::snprintf(text, sizeof text, "D %o %" PRId64 " %u ", m.mode, m.seconds, m.nanoseconds);
                out += text;
                append_escaped(&out, lines.path(m));
                break;
            case MetaKind::link:
                std::snprintf(text, sizeof text, "L %" PRId64 " %u ", m.seconds, m.nanoseconds);
                out += text;
                append_escaped(&out, lines.path(m));
                out += ' ';
                append_escaped(&out, lines.target(m));
                break;
            case MetaKind::hard_link:
                out += "H ";
                append_escaped(&out, lines.path(m));
                out += ' ';
                append_escaped(&out, lines.target(m));
                break;
        }
        out += '\n';
    }
    return out;
}

MetaParse decode_meta(const std::string& data, MetaLines* lines) {
    *lines = MetaLines();
    const char* at = data.data();
    const char* const end = at + data.size();
    const char* line_end = std::find(at, end, '\n');
    const std::string head(at, line_end);
    if (head.compare(0, 12, "vellum-meta ") != 0) return MetaParse::not_meta;
    uint64_t version = 0;
    if (!number(head.data() + 12, head.data() + head.size(), 10, &version) || version == 0)
        return MetaParse::not_meta;
    if (version > static_cast<uint64_t>(kMetaVersion)) return MetaParse::newer_version;
    for (at = line_end; at < end; at = line_end) {
        ++at;  // past the line feed
        line_end = std::find(at, end, '\n');
        if (at == line_end) continue;
        if (parse_line(at, line_end, lines) == LineResult::damaged) {
            *lines = MetaLines();
            return MetaParse::damaged;
        }
    }
    return MetaParse::ok;
}

}  // namespace vellum
