// No entry grows: a normal record is coded and started again stored when it
// would be larger than the file stored; a solid run stores what looks random
// unless another file of the command starts alike. The workers' output can be
// started again after part of it was written.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "archive/command.h"
#include "archive/checksum.h"
#include "archive/compress.h"
#include "archive/file_class.h"
#include "archive/held_output.h"
#include "archive/incompressible.h"
#include "driver_test_support.h"

namespace vellum::test {
namespace {

// A record kept in memory, counting how often it was started again.
class MemoryRecord : public RecordSink {
public:
    bool write(const uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    bool restart() override {
        bytes.clear();
        ++restarts;
        return true;
    }
    Bytes bytes;
    int restarts = 0;
};

struct Coded {
    CodedRecord record;
    Bytes bytes;
    int restarts = 0;
};

class NeverGrow : public ::testing::Test {
protected:
    Coded code(const Bytes& data, const std::string& name, bool solid, const SharedStarts* starts = nullptr) {
        Command command(*codec, reporter);
        command.settings.solid = solid ? 1 : 0;
        command.settings.buffer_setting = 0;
        if (starts) command.shared_starts = *starts;
        EXPECT_TRUE(prepare_buffers(command));
        RecordHead head;
        head.file_name = name;
        head.original_size = data.size();
        MemoryInput input(data.data(), data.size());
        MemoryRecord sink;
        Coded c;
        c.record = code_record(command, input, head, sink);
        end_command(command);
        c.bytes = sink.bytes;
        c.restarts = sink.restarts;
        return c;
    }
    static uint16_t class_of(const Coded& c, const std::string& name) {
        const size_t at = kRecordFixedBytes - 2 + name.size();
        return static_cast<uint16_t>(c.bytes[at] | c.bytes[at + 1] << 8);
    }

    RecordingReporter reporter;
    std::unique_ptr<CodecState> codec = std::make_unique<CodecState>();
};

// Catches the entropy measure off its definition: the plain estimate plus the
// Miller-Madow term, and samples too short to judge.
TEST(Incompressible, EntropyAndSampleRules) {
    EXPECT_DOUBLE_EQ(0.0, order0_entropy(Bytes(5000, 'a').data(), 5000));
    Bytes every(256 * 256);
    for (size_t i = 0; i < every.size(); ++i) every[i] = static_cast<uint8_t>(i);
    EXPECT_NEAR(8.0 + 255.0 / (2.0 * 65536.0 * std::log(2.0)), order0_entropy(every.data(), every.size()), 1e-12);
    const Bytes noise = random_data(200000, 1);
    EXPECT_TRUE(looks_random(noise.data(), noise.size()));
    EXPECT_FALSE(looks_random(noise.data(), kEntropyLeast - 1));
    EXPECT_FALSE(looks_random(text_bytes(100000, 2).data(), 100000));
    // Only the first 64 KiB count: text after them changes nothing.
    Bytes mixed = random_data(kEntropySample, 3);
    const Bytes text = text_bytes(500000, 4);
    mixed.insert(mixed.end(), text.begin(), text.end());
    EXPECT_TRUE(looks_random(mixed.data(), mixed.size()));
    // Starts: the first 4 KiB, and whether the file ends within them.
    EXPECT_EQ(start_fingerprint(noise.data(), 5000), start_fingerprint(noise.data(), 9000));
    EXPECT_NE(start_fingerprint(noise.data(), 3000), start_fingerprint(noise.data(), 3001));
    EXPECT_NE(start_fingerprint(noise.data(), 4095), start_fingerprint(noise.data(), 4096));
    SharedStarts starts;
    starts.note(start_fingerprint(noise.data(), 9000));
    EXPECT_TRUE(store_in_solid_run(noise.data(), 9000, 9000, starts));
    starts.note(start_fingerprint(noise.data(), 7000));
    EXPECT_FALSE(store_in_solid_run(noise.data(), 9000, 9000, starts));
    EXPECT_TRUE(store_in_solid_run(nullptr, 0, 0, starts));
}

// Catches a normal record that grows, one stored that did not need to be, and
// a restart that leaves bytes of the coded attempt in the record.
TEST_F(NeverGrow, NormalRecordIsStoredWhenCodingWouldGrowIt) {
    const Bytes noise = random_data(300000, 5);
    const Coded stored = code(noise, "noise.txt", false);
    EXPECT_TRUE(stored.record.ok);
    EXPECT_TRUE(stored.record.grew);
    EXPECT_EQ(1, stored.restarts);
    EXPECT_EQ(kStoredClass, class_of(stored, "noise.txt"));
    ASSERT_EQ(kRecordFixedBytes + 9 + noise.size(), stored.bytes.size());
    EXPECT_EQ(noise, Bytes(stored.bytes.end() - static_cast<long>(noise.size()), stored.bytes.end()));
    EXPECT_EQ(stored.bytes.size(), stored.record.record_length);
    EXPECT_EQ(checksum_of(noise.data(), noise.size()), stored.record.checksum);

    const Bytes text = text_bytes(300000, 6);
    const Coded coded = code(text, "prose.txt", false);
    EXPECT_FALSE(coded.record.grew);
    EXPECT_EQ(0, coded.restarts);
    EXPECT_EQ(9, class_of(coded, "prose.txt"));
    EXPECT_LT(coded.bytes.size(), text.size() / 2);

    // Three bytes code to more than three: stored; nothing at all is stored too.
    EXPECT_EQ(kStoredClass, class_of(code({'a', 'b', 'c'}, "t.txt", false), "t.txt"));
    const Coded empty = code({}, "e", false);
    EXPECT_EQ(kStoredClass, class_of(empty, "e"));
    EXPECT_EQ(kRecordFixedBytes + 1, empty.bytes.size());
}

// Catches the solid rule applied to data that compresses, or not applied to a
// lone random file, and a duplicate stored though its twin is in the history.
TEST_F(NeverGrow, SolidStoresLoneRandomDataOnly) {
    const Bytes noise = random_data(100000, 7);
    SharedStarts none;
    const Coded lone = code(noise, "a.gz", true, &none);
    EXPECT_EQ(kStoredClass, class_of(lone, "a.gz"));
    EXPECT_EQ(kRecordFixedBytes + 4 + noise.size(), lone.bytes.size());
    EXPECT_EQ(0, lone.restarts);
    SharedStarts twins;
    twins.note(start_fingerprint(noise.data(), noise.size()));
    twins.note(start_fingerprint(noise.data(), noise.size()));
    EXPECT_NE(kStoredClass, class_of(code(noise, "a.gz", true, &twins), "a.gz"));
    const Bytes text = text_bytes(100000, 8);
    EXPECT_EQ(9, class_of(code(text, "t.txt", true, &none), "t.txt"));
    EXPECT_EQ(kStoredClass, class_of(code({}, "e.txt", true, &none), "e.txt"));
}

// Catches a restart that keeps bytes kept before it, loses bytes kept after
// it, is not announced before those, or holds the budget's room.
TEST(HeldOutputRestart, DrainSaysSoBeforeTheNewBytes) {
    HeldOutput held;
    const uint8_t a[] = {1, 2, 3}, b[] = {4, 5}, c[] = {6};
    std::vector<std::string> seen;
    auto write = [&](const uint8_t* data, size_t size) {
        seen.push_back(std::string(data, data + size));
        return true;
    };
    auto restarted = [&] { seen.push_back("restart"); };
    held.keep(a, sizeof a);
    EXPECT_TRUE(held.drain(write, restarted));
    held.keep(b, sizeof b);
    held.restart();
    held.keep(c, sizeof c);
    EXPECT_TRUE(held.drain(write, restarted));
    EXPECT_TRUE(held.drain(write, restarted));
    const std::vector<std::string> expected{std::string("\1\2\3"), "restart", std::string("\6")};
    EXPECT_EQ(expected, seen);
}

}  // namespace
}  // namespace vellum::test
