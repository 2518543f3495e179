#include "cli/meta_format.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace vellum {
namespace cli {
namespace {

bool needs_escape(unsigned char c) { return c < 0x21 || c == 0x7F || c == '%'; }

std::string escaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (!needs_escape(c)) {
            out += static_cast<char>(c);
            continue;
        }
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        out += hex;
    }
    return out.empty() ? "%" : out;  // a lone '%' stands for the empty text
}

bool unescaped(const std::string& text, std::string* out) {
    out->clear();
    if (text == "%") return true;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            *out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 2])))
            return false;
        *out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return true;
}

std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t at = 0; at <= line.size(); ++at) {
        if (at < line.size() && line[at] != ' ') continue;
        fields.push_back(line.substr(start, at - start));
        start = at + 1;
    }
    return fields;
}

bool number(const std::string& text, int base, uint64_t* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    *value = std::strtoull(text.c_str(), &end, base);
    return *end == '\0';
}

bool signed_number(const std::string& text, int64_t* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    *value = std::strtoll(text.c_str(), &end, 10);
    return *end == '\0';
}

bool parse_line(const std::vector<std::string>& f, MetaLine* m) {
    uint64_t mode = 0, nsec = 0;
    if (f[0] == "F" && f.size() == 8) {
        m->kind = MetaKind::file;
        return number(f[1], 8, &mode) && signed_number(f[2], &m->seconds) && number(f[3], 10, &nsec) &&
               number(f[4], 10, &m->size) && number(f[5], 16, &m->checksum) &&
               number(f[6], 10, &m->record_length) && unescaped(f[7], &m->path) &&
               (m->mode = static_cast<uint32_t>(mode), m->nanoseconds = static_cast<uint32_t>(nsec), true);
    }
    if (f[0] == "D" && f.size() == 5) {
        m->kind = MetaKind::folder;
        return number(f[1], 8, &mode) && signed_number(f[2], &m->seconds) && number(f[3], 10, &nsec) &&
               unescaped(f[4], &m->path) &&
               (m->mode = static_cast<uint32_t>(mode), m->nanoseconds = static_cast<uint32_t>(nsec), true);
    }
    if (f[0] == "L" && f.size() == 5) {
        m->kind = MetaKind::link;
        return signed_number(f[1], &m->seconds) && number(f[2], 10, &nsec) && unescaped(f[3], &m->path) &&
               unescaped(f[4], &m->target) && (m->nanoseconds = static_cast<uint32_t>(nsec), true);
    }
    return false;
}

}  // namespace

std::string encode_meta(const std::vector<MetaLine>& lines) {
    std::string out = "vellum-meta " + std::to_string(kMetaVersion) + "\n";
    char text[160];
    for (const MetaLine& m : lines) {
        switch (m.kind) {
            case MetaKind::file:
                std::snprintf(text, sizeof text, "F %o %" PRId64 " %u %" PRIu64 " %016" PRIx64 " %" PRIu64 " ",
                              m.mode, m.seconds, m.nanoseconds, m.size, m.checksum, m.record_length);
                out += text + escaped(m.path);
                break;
            case MetaKind::folder:
                std::snprintf(text, sizeof text, "D %o %" PRId64 " %u ", m.mode, m.seconds, m.nanoseconds);
                out += text + escaped(m.path);
                break;
            case MetaKind::link:
                std::snprintf(text, sizeof text, "L %" PRId64 " %u ", m.seconds, m.nanoseconds);
                out += text + escaped(m.path) + " " + escaped(m.target);
                break;
        }
        out += '\n';
    }
    return out;
}

MetaParse decode_meta(const std::string& data, std::vector<MetaLine>* lines) {
    lines->clear();
    std::istringstream in(data);
    std::string line;
    if (!std::getline(in, line) || line.compare(0, 12, "vellum-meta ") != 0) return MetaParse::not_meta;
    uint64_t version = 0;
    if (!number(line.substr(12), 10, &version) || version == 0) return MetaParse::not_meta;
    if (version > static_cast<uint64_t>(kMetaVersion)) return MetaParse::newer_version;
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = fields_of(line);
        MetaLine m;
        if (!fields.empty() && parse_line(fields, &m)) lines->push_back(m);
    }
    return MetaParse::ok;
}

}  // namespace cli
}  // namespace vellum
