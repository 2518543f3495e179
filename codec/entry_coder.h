// The entry loop: one file coded as one entry (encode_entry), or one entry decoded
// back (decode_entry). Every rule that the compressor and the extractor must keep
// alike lives here, behind these two calls: which files share the block buffer
// (the solid packing rule), the regions a file is cut into and the filter of
// each, how base_position and the fill offset move, the coder's start and
// flush, and the entry's begin and end in the codec's tables.
//
// What an entry is coded with (its class and so its CodecParams) is the
// caller's choice: the encoder hands the first bytes to a hook and codes with
// the parameters the hook sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codec/byte_io.h"
#include "codec/codec_params.h"
#include "codec/codec_state.h"

namespace vellum {

enum class RunMode : uint8_t {
    normal,  // every entry stands alone, coded in blocks from the buffer's start
    solid,   // small files are packed behind each other and share one history
};

// The block buffer of one command (or of one worker) and where the command's
// run stands in it. Whoever owns the codec state for a command owns one of these
// beside it; both go through every entry of the command in order.
struct EntryRun {
    RunMode mode = RunMode::normal;
    // Its pages are left untouched until data lands in them, so a small file
    // costs little memory under a large block size.
    std::unique_ptr<uint8_t[]> block;
    size_t block_size = 0;
    // Solid mode: where the next small file goes. Bytes below it are the
    // (filtered) files coded so far in the run.
    size_t fill = 0;
};

// Gives the run a buffer of `block_size` bytes and starts it afresh (fill 0).
// False, with no buffer, when memory runs out.
bool start_run(EntryRun& run, RunMode mode, size_t block_size);
// Releases the buffer.
void end_run(EntryRun& run);

// True when a file of `size` bytes is small: it goes whole into the shared
// buffer at the fill offset. Strictly less than the room left, so a file that
// exactly fills the rest is large. Written against the room, never as a sum,
// since a damaged entry may claim any size up to 2^64 - 1.
inline bool fits_after_fill(size_t fill, uint64_t size, size_t block_size) {
    return fill < block_size && size < block_size - fill;
}

// Sizes an entry's data must back before anything is read or looped over: a
// stored entry holds exactly its bytes; a coded one at least the coder's flush.
// (A coded entry may stand for far more bytes than it holds, so its original
// size is bounded only by the data running out while it is decoded.)
bool entry_sizes_sound(const CodecParams& params, uint64_t coded_length, uint64_t original_size);

enum class EntryEnd {
    complete,      // every byte coded; decoding, every coded byte used, no more
    stopped,       // a hook asked to stop: the entry is unfinished
    source_short,  // encoding: the source gave fewer bytes than its size
    damaged,       // decoding: the coded data is damaged (the bytes handed out
                   // so far are unreliable)
};

struct EntryOutcome {
    EntryEnd end = EntryEnd::complete;
    uint64_t done = 0;           // bytes of the file coded or decoded, whole regions
    // The run's shared state (its buffer, base_position, the match tables) has
    // moved: in a solid run, an entry that ends here unfinished leaves the run
    // unable to go on.
    bool history_moved = false;
};

// What the caller hears, and decides, while an entry is coded. Every member may
// be null; `done` counts the bytes of the file coded or decoded so far.
struct EntryHooks {
    void* context = nullptr;
    // Encoding: called once, with the file's first bytes as read (its first
    // block, or the whole of a packed file) and before any is coded; sets the
    // parameters the entry is coded with. Bytes it puts into the entry's writer
    // come before the coded data.
    void (*choose)(void* context, const uint8_t* first, size_t length, CodecParams* params) = nullptr;
    // Before every block: false stops the entry there.
    bool (*go_on)(void* context, uint64_t done) = nullptr;
    // About every 256 KiB inside a block or a packed file (SpanProgress), stored
    // or coded, so a large block shows live progress: false stops the entry there.
    bool (*tick)(void* context, uint64_t done) = nullptr;
    // After every block, coded (or decoded and handed to the sink).
    void (*block_done)(void* context, uint64_t done) = nullptr;
};

// Codes the `size` bytes of `source` as one entry into `out`: the coded data
// and the coder's flush, or the bytes unchanged for a stored class. `params`:
// the parameters to code with, replaced by those hooks.choose sets. `state` must
// be in an operation, and `run` must have gone through every earlier entry of it.
// Bytes buffered in `out` are left there for the caller to flush.
EntryOutcome encode_entry(CodecState& state, EntryRun& run, CodecParams& params,
                          InputSource& source, uint64_t size, ByteWriter& out,
                          const EntryHooks& hooks);

// Decodes the entry of a file of `size` bytes from the `coded_length` bytes of
// `coded` (the data after the class field) and hands the file's bytes to `sink`
// in order as they are decoded, a piece at every tick of the position loop
// (nullptr: decoded only, as a test does, or as a solid run must for the entries
// before the ones it writes). Bytes handed out before damage is found are
// unreliable: the sink must not keep them. A sink that fails does
// not stop the decoding: a solid run must go on in step, and the sink keeps its
// own failure. `state` and `run` as for encode_entry.
EntryOutcome decode_entry(CodecState& state, EntryRun& run, const CodecParams& params,
                          InputSource& coded, uint64_t coded_length, uint64_t size,
                          OutputSink* sink, const EntryHooks& hooks);

}  // namespace vellum
