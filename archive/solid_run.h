// The rules of a solid run that the compressor and the extractor must apply
// alike, in one place: which files share the block buffer, and how the buffer's
// position in the run's stream (base_position) moves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/command.h"

namespace vellum {

// True when a file of `size` bytes is small: it goes whole into the shared
// buffer at the fill offset. Strictly less than the room left, so a file that
// exactly fills the rest is large. Written against the room, never as a sum,
// since a damaged entry may claim any size up to 2^64 - 1.
inline bool fits_after_fill(size_t fill, uint64_t size, size_t block_size) {
    return fill < block_size && size < block_size - fill;
}

// The packing rule of the command's mode: only solid runs pack.
inline bool is_packed(const Command& command, uint64_t size) {
    return command.solid != 0 && fits_after_fill(command.fill, size, command.block_size);
}

// A file coded block by block starts at the buffer's start; in a solid run what
// the buffer held becomes history beyond reach.
inline void start_blocks(Command& command) {
    if (command.solid == 0) return;
    command.codec.match.base_position += command.fill;
    command.fill = 0;
}

// A block of `length` bytes from the buffer's start has been coded (or decoded,
// even when cut short by damage: every slot it wrote lies below the new base).
inline void finish_block(Command& command, size_t length) {
    command.codec.match.base_position += length;
}

// A packed file of `size` bytes has been coded at the fill offset.
inline void finish_packed(Command& command, size_t size) { command.fill += size; }

}  // namespace vellum
