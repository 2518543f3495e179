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

class StringSource : public InputSource {
public:
    explicit StringSource(const std::string& s) : s_(s) {}
    size_t read(uint8_t* data, size_t size) override {
        const size_t n = std::min(size, s_.size() - at_);
        std::memcpy(data, s_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    const std::string& s_;
    size_t at_ = 0;
};

class StringSink : public OutputSink {
public:
    bool write(const uint8_t* data, size_t size) override {
        text.append(reinterpret_cast<const char*>(data), size);
        return true;
    }
    std::string text;
};

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
    StringSource source(data);
    StringSink sink;
    return decode_standalone(file_class, source, data.size(), text.size(), &sink) && sink.text == text;
}

// Catches a coding that changes (archives hold its bytes), a text that does not
// come back, and an entry left larger than its text.
TEST(StandaloneEntryTest, TextIsCodedPinnedAndComesBack) {
    const std::string text = meta_text(200);
    uint16_t file_class = 0;
    std::string data;
    ASSERT_TRUE(encode_standalone(text, kTextClass, &file_class, &data));
    EXPECT_EQ(kTextClass, file_class);
    EXPECT_LT(data.size(), text.size() / 4);
    EXPECT_EQ(0xB63CC7B720CBB595ull, checksum_of(data.data(), data.size())) << std::hex
        << checksum_of(data.data(), data.size()) << " of " << std::dec << data.size() << " bytes";
    EXPECT_TRUE(decodes_to(file_class, data, text));
    // Cut short, it does not decode.
    EXPECT_FALSE(decodes_to(file_class, data.substr(0, data.size() - 1), text));
}

// Catches text that spans more than one block (8 MiB) coded or read wrongly,
// and the empty text.
TEST(StandaloneEntryTest, SeveralBlocksAndNothing) {
    const std::string text = meta_text(110000);  // about 9.5 MiB
    ASSERT_GT(text.size(), size_t{8} << 20);
    uint16_t file_class = 0;
    std::string data;
    ASSERT_TRUE(encode_standalone(text, kTextClass, &file_class, &data));
    EXPECT_EQ(kTextClass, file_class);
    EXPECT_TRUE(decodes_to(file_class, data, text));
    ASSERT_TRUE(encode_standalone("", kTextClass, &file_class, &data));
    EXPECT_EQ(kStoredClass, file_class);
    EXPECT_TRUE(data.empty());
    EXPECT_TRUE(decodes_to(file_class, data, ""));
}

// Catches text that codes no smaller kept coded: it is stored as it is.
TEST(StandaloneEntryTest, TextThatDoesNotCodeSmallerIsStored) {
    std::string noise;
    uint64_t x = 88172645463325252ull;
    for (int i = 0; i < 5000; ++i) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        noise += static_cast<char>(x & 0xFF);
    }
    uint16_t file_class = 0;
    std::string data;
    ASSERT_TRUE(encode_standalone(noise, kTextClass, &file_class, &data));
    EXPECT_EQ(kStoredClass, file_class);
    EXPECT_EQ(noise, data);
    EXPECT_TRUE(decodes_to(file_class, data, noise));
}

}  // namespace
}  // namespace vellum
