// The position table stores slot values relative to a moving offset. A run that
// starts far into an operation's stream, or passes 2^32 bytes of it, must code
// exactly as the same run from position 0: the moves keep live slots pointing
// at their positions and written stale slots stale (with their probabilities).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

#include "codec/arithmetic_coder.h"
#include "codec_test_support.h"
#include "driver_test_support.h"

namespace vellum {
namespace {

using test::params_with;
using test::kLength;
using test::kRuns;
using test::text_bytes;
using Bytes = std::vector<uint8_t>;

// How an operation lays its files out, and where its stream starts.
struct RunLayout {
    bool solid = false;
    size_t buffer = 8192;  // block size; in solid mode also the shared buffer
    uint64_t base = 0;     // base_position when the operation starts
    // Added to base_position at every point where a driver moves it, as if that
    // many bytes had been coded in between.
    uint64_t gap = 0;
};

// Moves base_position on by the layout's gap wherever the entry loop moves it:
// after every block, and before the first block of a solid file (where the
// fill offset is added).
struct Gap {
    CodecState& state;
    const RunLayout& run;
};

bool gap_before_block(void* context, uint64_t done) {
    const Gap& g = *static_cast<Gap*>(context);
    if (g.run.solid && done == 0) g.state.match.base_position += g.run.gap;
    return true;
}

void gap_after_block(void* context, uint64_t) {
    const Gap& g = *static_cast<Gap*>(context);
    g.state.match.base_position += g.run.gap;
}

// Codes `files` through the entry loop, one entry each, in one run: normal mode
// in blocks; solid mode packed behind each other in the shared buffer while they
// fit, else in blocks from the buffer's start. The compressor fills `coded`, the
// extractor fills `files` from it. The operation is left open so that the
// caller can look at the offset. False when the extractor finds damage.
template <Direction D>
bool code_run(CodecState& state, const CodecParams& params, const RunLayout& run,
              std::vector<Bytes>& files, std::vector<Bytes>& coded) {
    if (!state.begin_operation()) return false;
    state.match.base_position = run.base;
    EntryRun entries;
    if (!start_run(entries, run.solid ? RunMode::solid : RunMode::normal, run.buffer)) return false;
    Gap gap{state, run};
    EntryHooks hooks;
    hooks.context = &gap;
    hooks.go_on = gap_before_block;
    hooks.block_done = gap_after_block;
    bool sound = true;
    if (D == Direction::compress) coded.assign(files.size(), Bytes{});
    for (size_t f = 0; f < files.size(); ++f) {
        if constexpr (D == Direction::compress) {
            coded[f] = test::encode_in_run(state, entries, params, files[f], hooks);
        } else {
            test::Decoded back = test::decode_in_run(state, entries, params, coded[f], files[f].size(), hooks);
            sound = sound && back.ok;
            files[f] = back.data;
        }
    }
    return sound;
}

// Small files that repeat each other (packed, with matches into earlier files),
// one file larger than the buffer (blocks), then small ones again.
std::vector<Bytes> run_files() {
    std::vector<Bytes> files;
    files.push_back(text_bytes(3000, 1));
    files.push_back(files[0]);
    files[1][1200] ^= 0x20;
    files[1].resize(2500);
    files.push_back(text_bytes(2000, 2));
    files.push_back(text_bytes(20000, 3));
    files.push_back(text_bytes(1500, 4));
    files.push_back(files[4]);
    return files;
}

TEST(PositionOffset, RunsFarIntoTheStreamCodeAsFromPositionZero) {
    auto state = std::make_unique<CodecState>();
    const std::vector<Bytes> files = run_files();
    constexpr uint64_t k4G = uint64_t{1} << 32;
    for (const CodecParams& params : {params_with(kRuns, 5, 2, 1, 1, 3), params_with(kLength, 4, 2, 2, 0, 4)}) {
        for (bool solid : {false, true}) {
            RunLayout from_zero;
            from_zero.solid = solid;
            std::vector<Bytes> in = files, reference;
            ASSERT_TRUE(code_run<Direction::compress>(*state, params, from_zero, in, reference));
            EXPECT_EQ(state->match.position_offset, 0u);
            // The second file repeats the first: solid mode codes it as matches
            // into the first, which the moves below must keep.
            if (solid) {
                EXPECT_LT(reference[1].size() * 4, reference[0].size());
            }

            // Starts just below 2^32 (the offset moves in the course of the run:
            // in solid mode between two packed files, with live slots), above
            // 2^33 (it moves at once), and with 4 GiB and more between blocks
            // (it moves at every block).
            const RunLayout runs[] = {{solid, 8192, k4G - 4000, 0},
                                      {solid, 8192, 2 * k4G + 777, 0},
                                      {solid, 8192, 2 * k4G + 777, k4G + 12345}};
            for (const RunLayout& run : runs) {
                SCOPED_TRACE(test::mode_text(params.context_mode) + " solid " +
                             std::to_string(solid) + " base " + std::to_string(run.base) +
                             " gap " + std::to_string(run.gap));
                std::vector<Bytes> coded;
                in = files;
                ASSERT_TRUE(code_run<Direction::compress>(*state, params, run, in, coded));
                EXPECT_GT(state->match.position_offset, 0u);
                EXPECT_EQ(coded, reference);

                std::vector<Bytes> out;
                for (const Bytes& f : files) out.emplace_back(f.size());
                EXPECT_TRUE(code_run<Direction::extract>(*state, params, run, out, coded));
                EXPECT_GT(state->match.position_offset, 0u);
                EXPECT_EQ(out, files);
            }
        }
    }
    state->end_operation();
}

}  // namespace
}  // namespace vellum
