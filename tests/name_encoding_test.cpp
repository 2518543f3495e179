// Names between the disk and the archive: stored as UTF-8 (ASCII unchanged), a
// legacy 8-bit name read in its code page, and paths longer than the old
// 260-character limit, through the platform seam and the drivers.
#include "archive/name_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "archive/compress.h"
#include "archive/entry_path.h"
#include "archive/extract.h"
#include "manage/extract_rows.h"
#include "archive/folder_walk.h"
#include "archive/open_archive.h"
#include "driver_test_support.h"
#include "platform/platform.h"
#include "platform/wide_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace vellum {
namespace {

using namespace vellum::test;

const char kGreek[] = "\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac";   // Ελληνικά
const char kJapanese[] = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e \xf0\x9f\x98\x80.txt";     // 日本語 😀.txt
const char kCafe[] = "caf\xc3\xa9 \xc3\xa9.txt";                                             // café é.txt

TEST(NameEncoding, Utf8IsCheckedStrictly) {
    for (const char* good : {"", "plain.txt", kGreek, kJapanese, kCafe, "\xf4\x8f\xbf\xbf"})
        EXPECT_TRUE(is_valid_utf8(good)) << good;
    const char* bad[] = {
        "caf\xe9.txt",       // a Latin-1 byte
        "\x80",              // a continuation byte alone
        "\xc0\xaf",          // overlong slash
        "\xe0\x80\xaf",      // overlong, three bytes
        "\xf0\x80\x80\xaf",  // overlong, four bytes
        "\xed\xa0\x80",      // a surrogate half
        "\xf4\x90\x80\x80",  // beyond U+10FFFF
        "\xe6\x97",          // cut short
        "\xe6\x97x",         // a lead without its continuation
    };
    for (const char* b : bad) EXPECT_FALSE(is_valid_utf8(b)) << b;
}

TEST(NameEncoding, Windows1252EveryHighByte) {
    EXPECT_EQ(windows_1252_to_utf8("caf\xe9 \xe9.txt"), kCafe);
    EXPECT_EQ(windows_1252_to_utf8("plain"), "plain");
    // The punctuation block, the five undefined bytes kept as controls, Latin-1.
    EXPECT_EQ(windows_1252_to_utf8("\x80\x81\x8a\x8d\x8f\x90\x93\x99\x9d\x9f\xa0\xc4\xff"),
              "\xe2\x82\xac\xc2\x81\xc5\xa0\xc2\x8d\xc2\x8f\xc2\x90\xe2\x80\x9c\xe2\x84\xa2\xc2\x9d"
              "\xc5\xb8\xc2\xa0\xc3\x84\xc3\xbf");
    std::string all;
    for (int b = 0x80; b < 0x100; ++b) all += static_cast<char>(b);
    EXPECT_TRUE(is_valid_utf8(windows_1252_to_utf8(all)));
}

// UTF-8 and ASCII names keep their bytes; a legacy one is read as the system's
// 8-bit code page (Windows-1252 here and in a Wine prefix of an English locale).
// Each name of a path is read on its own.
TEST(NameEncoding, StoredNamesBecomeUtf8NameByName) {
    EXPECT_EQ(name_from_archive(kJapanese), kJapanese);
    EXPECT_EQ(name_from_archive("readme.txt"), "readme.txt");
    EXPECT_EQ(name_from_archive("caf\xe9 \xe9.txt"), kCafe);
    const std::string sep(1, kNativeSeparator);
    EXPECT_EQ(native_form(std::string(kGreek) + "\\caf\xe9\\"), std::string(kGreek) + sep + "caf\xc3\xa9" + sep);
    EXPECT_EQ(native_form("docs\\sub\\"), "docs" + sep + "sub" + sep);
    EXPECT_EQ(native_form("caf\xe9 \xe9.txt"), kCafe);
}

#ifdef _WIN32
// The one conversion between the programs' UTF-8 and the system's UTF-16: every
// character there and back, emoji as surrogate pairs; a byte that is no UTF-8
// becomes U+FFFD rather than vanish.
TEST(NameEncoding, Utf8AndUtf16BothWays) {
    for (const char* name : {kGreek, kJapanese, kCafe, "plain.txt", ""})
        EXPECT_EQ(wide_to_utf8(utf8_to_wide(name)), name);
    EXPECT_EQ(utf8_to_wide(kJapanese), L"\u65e5\u672c\u8a9e \xd83d\xde00.txt");
    EXPECT_EQ(wide_to_utf8(L"\u03b1\xd83d\xde00"), "\xce\xb1\xf0\x9f\x98\x80");
    EXPECT_EQ(utf8_to_wide(std::string("caf\xe9")), L"caf\xfffd");
    EXPECT_EQ(utf8_to_wide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));  // a length, not a terminator
}
#endif

// Platform calls with names as UTF-8 text.
std::string join(const std::string& folder, const std::string& name) {
    return folder + kNativeSeparator + name;
}

bool write_text(const std::string& path, const std::string& text) {
    FILE* f = platform::open_file(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

std::string read_text(const std::string& path) {
    FILE* f = platform::open_file(path.c_str(), "rb");
    if (!f) return "<cannot open " + path + ">";
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    return text;
}

// Asked of the system without the seam: on Windows the UTF-16 name the user
// sees must be the one meant, not its bytes read in some code page.
bool exists_as_named(const std::string& path) {
#ifdef _WIN32
    const int length = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &w[0], length);
    return GetFileAttributesW(w.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return stat(path.c_str(), &st) == 0;
#endif
}

std::vector<std::string> names_in(const std::string& folder) {
    std::vector<platform::FolderItem> items;
    EXPECT_TRUE(platform::list_folder(folder.c_str(), &items)) << folder;
    std::vector<std::string> names;
    for (const auto& item : items) names.push_back(item.name);
    std::sort(names.begin(), names.end());
    return names;
}

class Names : public ::testing::Test {
protected:
    // Adds the paths to a new archive, normal or solid; the stored names.
    std::vector<std::string> add(const std::string& archive, const std::vector<std::string>& paths,
                                 bool solid, const std::string& legacy_source = "") {
        Command command(*codec, reporter);
        command.settings.solid = solid;
        EXPECT_EQ(open_or_create_archive(command, archive), OpenResult::created);
        EXPECT_TRUE(prepare_buffers(command));
        AddSummary summary;
        for (const std::string& p : paths) add_path(command, p, summary);
        // An entry as an older writer stored it: its name in Windows-1252.
        if (!legacy_source.empty()) {
            EXPECT_EQ(compress_file(command, legacy_source, "old\\", "caf\xe9 legacy.txt"), AddResult::added);
        }
        end_command(command);
        std::vector<std::string> stored;
        FILE* f = platform::open_file(archive.c_str(), "rb");
        ArchiveWalk walk;
        ArchiveHeader header;
        RecordHead head;
        EXPECT_EQ(walk_begin(f, &walk, &header), HeaderResult::ok);
        while (walk_next(&walk, &head) == WalkStep::entry) stored.push_back(head.folder_path + head.file_name);
        std::fclose(f);
        return stored;
    }
    ExtractSummary extract(const std::string& archive, const std::string& to, bool solid) {
        Command command(*codec, reporter);
        command.settings.solid = solid;
        command.archive_path = archive;
        EXPECT_TRUE(prepare_buffers(command));
        ExtractSummary s = extract_all(command, to);
        end_command(command);
        return s;
    }

    std::unique_ptr<CodecState> codec = std::make_unique<CodecState>();
    RecordingReporter reporter;
    TempFolder tmp;
};

// Latin, Greek, CJK and emoji names are stored as their UTF-8 bytes and come back
// under the same names; an entry with a legacy name comes back under its Unicode
// name; normal and solid.
TEST_F(Names, UnicodeAndLegacyNamesRoundTrip) {
    const std::string root = tmp.path().string();
    const std::string src = join(root, "src");
    const std::string greek = join(src, kGreek);
    ASSERT_TRUE(create_folders(greek));
    ASSERT_TRUE(write_text(join(greek, kJapanese), "kanji and a smile\n"));
    ASSERT_TRUE(write_text(join(greek, kCafe), std::string(5000, 'c')));
    ASSERT_TRUE(write_text(join(src, "plain.txt"), "ascii\n"));
    EXPECT_TRUE(exists_as_named(join(greek, kJapanese)));
    EXPECT_EQ(names_in(greek), (std::vector<std::string>{kCafe, kJapanese}));
    for (bool solid : {false, true}) {
        SCOPED_TRACE(solid ? "solid" : "normal");
        const std::string archive = join(root, solid ? "s.vlm" : "n.vlm");
        const std::string out = join(root, solid ? "out-s" : "out-n");
        std::vector<std::string> stored = add(archive, {greek, join(src, "plain.txt")}, solid,
                                              join(src, "plain.txt"));
        std::sort(stored.begin(), stored.end());
        const std::string g(kGreek);
        EXPECT_EQ(stored, (std::vector<std::string>{"old\\caf\xe9 legacy.txt", "plain.txt", g + "\\" + kCafe,
                                                    g + "\\" + kJapanese}));
        const ExtractSummary s = extract(archive, out, solid);
        EXPECT_TRUE(s.ok());
        EXPECT_EQ(s.written, 4u);
        EXPECT_TRUE(exists_as_named(join(join(out, kGreek), kJapanese)));
        EXPECT_TRUE(exists_as_named(join(join(out, "old"), "caf\xc3\xa9 legacy.txt")));
        EXPECT_EQ(read_text(join(join(out, kGreek), kJapanese)), "kanji and a smile\n");
        EXPECT_EQ(read_text(join(join(out, kGreek), kCafe)), std::string(5000, 'c'));
        EXPECT_EQ(names_in(join(out, "old")), std::vector<std::string>{"caf\xc3\xa9 legacy.txt"});
        EXPECT_EQ(read_text(join(join(out, "old"), "caf\xc3\xa9 legacy.txt")), "ascii\n");
    }
    EXPECT_TRUE(reporter.notes.empty()) << reporter.notes.front().caption;
}

// A folder tree deeper than 260 characters: made, written, listed, sized,
// renamed over and removed through the seam, and compressed and extracted whole.
TEST_F(Names, PathsLongerThanTheOldLimit) {
    const std::string root = tmp.path().string();
    std::string deep = join(root, "long");
    for (int level = 0; deep.size() < 330; ++level)
        deep = join(deep, std::string(40, static_cast<char>('a' + level)) + kGreek);
    ASSERT_TRUE(create_folders(deep)) << deep.size();
    EXPECT_TRUE(platform::is_folder(deep.c_str()));
    const std::string file = join(deep, kJapanese);
    ASSERT_GE(file.size(), 300u);
    ASSERT_TRUE(write_text(file, "deep down\n"));
    uint64_t size = 0;
    EXPECT_TRUE(platform::file_size(file.c_str(), &size));
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(names_in(deep), std::vector<std::string>{kJapanese});
    EXPECT_EQ(platform::full_path(file.c_str()), file);
    const std::string other = join(deep, "other.txt");
    ASSERT_TRUE(write_text(other, "replacement\n"));
    EXPECT_TRUE(platform::replace_file(other.c_str(), file.c_str()));
    EXPECT_EQ(read_text(file), "replacement\n");
    EXPECT_TRUE(platform::remove_file(file.c_str()));
    EXPECT_FALSE(platform::file_size(file.c_str(), &size));

    ASSERT_TRUE(write_text(file, "deep down\n"));
    const std::string archive = join(root, "deep.vlm");
    ASSERT_EQ(add(archive, {join(root, "long")}, false).size(), 1u);
    const std::string out = join(root, "out");
    EXPECT_TRUE(extract(archive, out, false).ok());
    EXPECT_EQ(read_text(out + deep.substr(root.size()) + kNativeSeparator + kJapanese), "deep down\n");
    EXPECT_TRUE(reporter.notes.empty()) << reporter.notes.front().caption << ": " << reporter.notes.front().text;
}

}  // namespace
}  // namespace vellum
