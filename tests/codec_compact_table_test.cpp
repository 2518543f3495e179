// A normal block keeps its match slots in a small table of its own and moves
// them into the position table when it codes too many distinct hashes. The
// coded bytes must not depend on either: every limit of the small table, from
// none at all to one left after a few hashes, codes and decodes the same.
#include <gtest/gtest.h>

#include <memory>

#include "codec_test_support.h"
#include "driver_test_support.h"

namespace vellum {
namespace {

using test::decode_blocks;
using test::encode_blocks;
using test::params_with;
using test::kLength;
using test::kRuns;
using test::random_data;
using test::text_bytes;
using Bytes = std::vector<uint8_t>;

// Few distinct hashes (stays in the small table), random bytes (leaves it even
// at its largest: more than 2^18 distinct hashes in one block), and text, noise
// and a repeat of the text within one block (leaves it in the middle of matches).
std::vector<Bytes> compact_files() {
    std::vector<Bytes> files;
    files.push_back(text_bytes(300000, 1));
    files.push_back(random_data(700000, 2));
    Bytes mixed = text_bytes(40000, 3);
    const Bytes noise = random_data(30000, 4);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    mixed.insert(mixed.end(), mixed.begin(), mixed.begin() + 50000);
    files.push_back(mixed);
    return files;
}

// Codes every file as one entry of one operation, so that later blocks find
// the slots that earlier blocks left behind in either table.
std::vector<Bytes> encode_all(CodecState& state, const CodecParams& params,
                              const std::vector<Bytes>& files, size_t block) {
    std::vector<Bytes> coded;
    EXPECT_TRUE(state.begin_operation());
    for (const Bytes& file : files) coded.push_back(encode_blocks(state, params, file, block));
    state.end_operation();
    return coded;
}

void expect_decodes(CodecState& state, const CodecParams& params, const std::vector<Bytes>& files,
                    const std::vector<Bytes>& coded, size_t block) {
    ASSERT_TRUE(state.begin_operation());
    for (size_t f = 0; f < files.size(); ++f) {
        const auto out = decode_blocks(state, params, coded[f], files[f].size(), block);
        EXPECT_TRUE(out.ok) << "file " << f;
        EXPECT_TRUE(out.data == files[f]) << "file " << f;
    }
    state.end_operation();
}

TEST(CompactTable, EveryLimitCodesTheSameBytesAsThePositionTableAlone) {
    auto state = std::make_unique<CodecState>();
    const std::vector<Bytes> files = compact_files();
    // 0: the position table alone; 7: the small table is left after 64 hashes.
    const uint32_t limits[] = {0, 7, 12, MatchModel::kCompactMaxBits};
    for (const CodecParams& params : {params_with(kRuns, 5, 2, 1, 1, 3), params_with(kLength, 4, 2, 2, 0, 4),
                                      params_with(kRuns, 12, 3, 2, 0, 4)}) {
        for (size_t block : {size_t{4096}, size_t{65536}, size_t{1} << 20}) {
            SCOPED_TRACE(test::mode_text(params.context_mode) + " order " +
                         std::to_string(params.hash_order) + " block " + std::to_string(block));
            state->match.compact_max_bits = 0;
            const std::vector<Bytes> reference = encode_all(*state, params, files, block);
            for (size_t k = 0; k < 4; ++k) {
                SCOPED_TRACE("limit " + std::to_string(limits[k]));
                state->match.compact_max_bits = limits[k];
                EXPECT_TRUE(encode_all(*state, params, files, block) == reference);
                // Decoded with another limit than the one it was coded with.
                state->match.compact_max_bits = limits[(k + 1) % 4];
                expect_decodes(*state, params, files, reference, block);
            }
        }
    }
}

// The cases above reach both paths: a block of few hashes ends in the small
// table, a random one fills it and writes the position table.
TEST(CompactTable, SmallBlocksStayInItAndLargeOnesLeaveIt) {
    auto state = std::make_unique<CodecState>();
    const CodecParams params = params_with(kRuns, 5, 2, 1, 1, 3);
    auto written_slots = [&] {
        size_t n = 0;
        for (size_t i = 0; i < MatchModel::kSlots; ++i) n += state->match.match_positions[i] != 0;
        return n;
    };
    ASSERT_TRUE(state->begin_operation());
    encode_blocks(*state, params, text_bytes(300000, 1), size_t{1} << 20);
    EXPECT_GT(state->match.compact_used, 0u);
    EXPECT_EQ(written_slots(), 0u);
    encode_blocks(*state, params, random_data(700000, 2), size_t{1} << 20);
    EXPECT_EQ(state->match.compact_bits, MatchModel::kCompactMaxBits);
    EXPECT_GT(written_slots(), size_t{1} << 18);
    state->end_operation();
}

}  // namespace
}  // namespace vellum
