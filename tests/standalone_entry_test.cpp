// Entries that stand alone (the metadata entry): coded with tables and a run of
// their own, so a reader needs no other entry. Archives keep the coded bytes, so
// one coding is pinned.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archive/checksum.h"
#include "archive/file_class.h"
#include "archive/standalone_entry.h"

namespace vellum {
namespace {

// Metadata-like text: lines of modes, times, sizes, checksums and paths.
std::string meta_text(size_t lines) {
    std::string text = "vellum-meta 1\n";
    for (size_t i = 0; i < lines; ++i)
        text += "F 100644 " + std::to_string(1600000000 + i * 37) + " " + std::to_string(i * 7919 % 1000000000) +
                " " + std::to_string(i * 13) + " " + std::to_string(i * 11 + 40) + " 0123456789abcdef home\\user\\file-" +
                std::to_string(i) + ".txt\n";
    return text;
}

bool decodes_to(uint16_t file_class, const std::string& data, const std::string& text) {
    MemorySource source(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    std::string out;
    StringSink sink(&out);
    return decode_standalone(file_class, source, data.size(), text.size(), &sink) && out == text;
}

// The text a metadata reader takes from a record, or "(unreadable)".
std::string text_of(const StandaloneRecord& r, uint64_t most = UINT64_MAX) {
    MemorySource source(reinterpret_cast<const uint8_t*>(r.data.data()), r.data.size());
    std::string text;
    return read_standalone_text(r.file_class, source, r.data.size(), r.original_size, most, &text) ? text
                                                                                                   : "(unreadable)";
}

// Catches a coding that changes (archives hold its bytes), a text that does not
// come back, and an entry left larger than its text.
TEST(StandaloneEntryTest, TextIsCodedPinnedAndComesBack) {
    const std::string text = meta_text(200);
    StandaloneRecord r;
    ASSERT_TRUE(encode_standalone(text, kTextClass, false, &r));
    const std::string& data = r.data;
    EXPECT_EQ(kTextClass, r.file_class);
    EXPECT_EQ(text.size(), r.original_size);
    EXPECT_LT(data.size(), text.size() / 4);
    EXPECT_EQ(0xB63CC7B720CBB595ull, checksum_of(data.data(), data.size())) << std::hex
        << checksum_of(data.data(), data.size()) << " of " << std::dec << data.size() << " bytes";
    EXPECT_TRUE(decodes_to(r.file_class, data, text));
    EXPECT_EQ(text, text_of(r));
    // Cut short, it does not decode.
    EXPECT_FALSE(decodes_to(r.file_class, data.substr(0, data.size() - 1), text));
}

// In a solid archive the coded text goes wrapped in a stored record, which a
// reader of the run takes as the bytes it holds: catches a wrapped record that
// is not a sound stored one (size, class), a head written wrongly, and a
// metadata reader that does not unwrap it or trusts its sizes.
TEST(StandaloneEntryTest, InASolidArchiveTheCodedTextIsWrappedInAStoredRecord) {
    const std::string text = meta_text(200);
    StandaloneRecord plain, wrapped;
    ASSERT_TRUE(encode_standalone(text, kTextClass, false, &plain));
    ASSERT_TRUE(encode_standalone(text, kTextClass, true, &wrapped));
    EXPECT_EQ(kStoredClass, wrapped.file_class);
    ASSERT_EQ(wrapped.data.size(), wrapped.original_size);
    ASSERT_EQ(plain.data.size() + kWrappedHeadSize, wrapped.data.size());
    EXPECT_EQ(std::string("\0VW1\x09\0", 6), wrapped.data.substr(0, 6));
    EXPECT_EQ(text.size(), static_cast<size_t>(static_cast<uint8_t>(wrapped.data[6])) +
                               (static_cast<size_t>(static_cast<uint8_t>(wrapped.data[7])) << 8));
    EXPECT_EQ(plain.data, wrapped.data.substr(kWrappedHeadSize));
    // A reader of the format takes the record as it is; a metadata reader unwraps it.
    EXPECT_TRUE(decodes_to(kStoredClass, wrapped.data, wrapped.data));
    EXPECT_EQ(text, text_of(wrapped));
    // The text's size is bounded before decoding; a wrapped head that lies is damage.
    EXPECT_EQ("(unreadable)", text_of(wrapped, text.size() - 1));
    StandaloneRecord lying = wrapped;
    lying.data[6] = static_cast<char>(lying.data[6] + 1);
    EXPECT_EQ("(unreadable)", text_of(lying));
    StandaloneRecord stored_class = wrapped;
    stored_class.data[4] = static_cast<char>(kStoredClass);
    EXPECT_EQ("(unreadable)", text_of(stored_class));
    StandaloneRecord cut = wrapped;
    cut.data.resize(cut.data.size() - 1);
    cut.original_size = cut.data.size();
    EXPECT_EQ("(unreadable)", text_of(cut));
    // The wrapping's head counts: a short text that codes a little smaller is
    // stored when coded and wrapped it would not be smaller, and reads back.
    for (size_t n = 1; n <= 200; ++n) {
        const std::string small = meta_text(0) + std::string(n, 'a');
        StandaloneRecord r;
        ASSERT_TRUE(encode_standalone(small, kTextClass, true, &r));
        EXPECT_LE(r.data.size(), small.size()) << n;
        EXPECT_EQ(r.data.size(), r.original_size) << n;
        EXPECT_EQ(small, text_of(r)) << n;
    }
    // Text stored as it is still reads as it is, short or long.
    StandaloneRecord stored;
    stored.data = "vellum-meta 1\n";
    stored.original_size = stored.data.size();
    EXPECT_EQ(stored.data, text_of(stored));
    stored.data = "short";
    stored.original_size = stored.data.size();
    EXPECT_EQ("short", text_of(stored));
}

// Catches text that spans more than one block (8 MiB) coded or read wrongly,
// and the empty text.
TEST(StandaloneEntryTest, SeveralBlocksAndNothing) {
    const std::string text = meta_text(110000);  // about 9.5 MiB
    ASSERT_GT(text.size(), size_t{8} << 20);
    StandaloneRecord r;
    ASSERT_TRUE(encode_standalone(text, kTextClass, false, &r));
    EXPECT_EQ(kTextClass, r.file_class);
    EXPECT_TRUE(decodes_to(r.file_class, r.data, text));
    ASSERT_TRUE(encode_standalone(text, kTextClass, true, &r));
    EXPECT_EQ(text, text_of(r));
    ASSERT_TRUE(encode_standalone("", kTextClass, true, &r));
    EXPECT_EQ(kStoredClass, r.file_class);
    EXPECT_TRUE(r.data.empty());
    EXPECT_TRUE(decodes_to(r.file_class, r.data, ""));
    EXPECT_EQ("", text_of(r));
}

// Catches text that codes no smaller kept coded: it is stored as it is.
TEST(StandaloneEntryTest, TextThatDoesNotCodeSmallerIsStored) {
    std::string noise;
    uint64_t x = 88172645463325252ull;
    for (int i = 0; i < 5000; ++i) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        noise += static_cast<char>(x & 0xFF);
    }
    for (const bool in_solid : {false, true}) {
        StandaloneRecord r;
        ASSERT_TRUE(encode_standalone(noise, kTextClass, in_solid, &r));
        EXPECT_EQ(kStoredClass, r.file_class);
        EXPECT_EQ(noise, r.data);
        EXPECT_TRUE(decodes_to(r.file_class, r.data, noise));
    }
}

}  // namespace
}  // namespace vellum
