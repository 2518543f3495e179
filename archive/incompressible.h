// Data that coding would only make larger, told apart before it is coded.
//
// A normal entry needs no guess: it is coded, and started again stored when the
// coded record would be larger (compress.cpp). A solid entry cannot be coded
// twice, since coding moves the history every later file of the run is coded
// against, so solid mode decides from the file's first bytes:
//
//   a file is stored when its first 64 KiB (the whole file when smaller, at
//   least 1 KiB) look random: order-0 entropy of at least kRandomBits bits per
//   byte, with the Miller-Madow correction for short samples; and no other file
//   of the command starts with the same 4 KiB. A file of 4 bytes or fewer is
//   always stored: the coder's flush alone takes 4.
//
// The second condition keeps duplicates: two copies of one compressed file code
// to little more than one when the first is in the history, so they are coded.
// The command finds such files before it adds anything (find_shared_starts): the
// walk of every source, reading only each file's first 4 KiB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/walk.h"

namespace vellum {

// Bytes the entropy is measured on, and the least a measure needs to mean anything.
constexpr size_t kEntropySample = size_t{64} << 10;
constexpr size_t kEntropyLeast = size_t{1} << 10;
// Bits per byte from which a sample counts as random. Measured on 5,416 files of
// a system's documentation folder in solid mode: compressed files (.gz) measure
// 7.99 to 8.00, and those below 7.995 still code smaller than stored often enough
// (they hold stretches of plain data) that storing them costs more than it saves;
// text measures 4 to 6, program code 6 to 7, a JPEG picture about 7.97.
constexpr double kRandomBits = 7.995;
// Files this small are never coded smaller: a coded entry ends with the
// coder's 4-byte flush.
constexpr uint64_t kNeverSmaller = 4;
// The start two files must share to count as copies of each other.
constexpr size_t kStartBytes = size_t{4} << 10;

// Order-0 entropy of the bytes in bits per byte, Miller-Madow corrected:
// the plain estimate plus (distinct byte values - 1) / (2 n ln 2).
double order0_entropy(const uint8_t* bytes, size_t count);

// Whether the sample `first` (the file's first bytes, `available` of them) looks random.
bool looks_random(const uint8_t* first, size_t available);

// The fingerprint of a file's start: its first kStartBytes (fewer when the file
// is shorter) and whether it is shorter.
uint64_t start_fingerprint(const uint8_t* first, size_t available);

// The starts that two or more files of one command share.
class SharedStarts {
public:
    void note(uint64_t fingerprint) { ++seen_[fingerprint]; }
    bool shared(uint64_t fingerprint) const {
        const auto at = seen_.find(fingerprint);
        return at != seen_.end() && at->second > 1;
    }
    bool empty() const { return seen_.empty(); }

private:
    std::unordered_map<uint64_t, uint32_t> seen_;
};

// Notes the start of every file an add of `sources` with `options` will meet,
// each file once however many names it has.
void find_shared_starts(const std::vector<std::string>& sources, const WalkOptions& options,
                        SharedStarts* starts);

// The solid rule above: true when the file is to be stored.
bool store_in_solid_run(const uint8_t* first, size_t available, uint64_t size, const SharedStarts& starts);

}  // namespace vellum
