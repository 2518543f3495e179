// A model of baseline JPEG images. The bytes of an image are followed as they
// are coded: the headers give the Huffman tables and the layout of the blocks,
// and inside the entropy-coded data every bit is decoded alongside, so that
// the model knows which Huffman code or which coefficient bits come next,
// where in which block, and the coefficients already seen around it. Each bit
// of the scan is predicted from those, not from the bytes before it.
//
// Only what the headers describe completely is followed (sequential Huffman
// coding, 8-bit samples, up to 4 components); anything else, or any code the
// tables do not hold, ends the following until the next start of an image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/zeroed_array.h"

namespace vellum {
namespace strong {

class JpegModel {
public:
    static constexpr int kInputs = 8;   // predictions given to the mixer

    // Takes the probability table for up to 2^max_bits contexts.
    bool allocate(uint32_t max_bits) { max_bits_ = max_bits; return table_.allocate(size_t{1} << max_bits); }
    // Nothing seen; 2^bits contexts in use.
    void reset(uint32_t bits);

    // True while the next byte's 8 bits are entropy-coded data of a scan.
    bool in_scan() const { return m_.scan_bits; }

    // Takes the byte just coded (any byte, in or out of a scan).
    void add_byte(uint32_t byte);

    // For a bit of scan data: fills `inputs` (logits) and returns the mixer's
    // weight set (0..kMixerSets-1).
    static constexpr size_t kMixerSets = 5 * 64;
    uint32_t predict(int16_t* inputs);
    // Learns the bit predict() was asked for and follows the decoding.
    void update(int bit);

private:
    struct HuffmanTable {
        bool defined = false;
        int32_t max_code[18];   // largest code of each length, -1 for none
        int32_t min_code[17];
        int32_t first[17];      // index of the first symbol of each length
        uint8_t symbols[256];
        void build(const uint8_t counts[16], const uint8_t* values, int total);
    };
    struct Component {
        uint8_t id = 0;
        uint8_t h = 1, v = 1;      // sampling factors
        uint32_t blocks_wide = 0;  // blocks in a row of this component
        std::vector<int16_t> row;  // the last block seen at each column, 64 coefficients each
    };
    enum class Phase : uint8_t { dc_code, dc_bits, ac_code, ac_bits, padding };

    void segment_done();
    bool start_scan();
    void start_block();
    void symbol_contexts();
    void symbol_decoded(uint32_t symbol);
    void bits_decoded(int value);
    void block_done();
    void stop() { m_.scan_bits = false; m_.active = false; }

    // Everything an image's bytes tell, put back to its start by reset().
    struct Image {
        // Byte-level parsing.
        bool active = false;           // inside an image (after its start marker)
        bool scan_bits = false;
        bool after_ff = false;         // in a scan, the byte before was 0xFF
        uint32_t marker = 0;           // the marker of the segment being read
        uint32_t segment_left = 0;     // bytes of the segment still to come
        uint32_t length_bytes = 0;     // bytes of the length field read (0..2)
        std::vector<uint8_t> segment;  // the segment being read
        uint32_t last_byte = 0;

        // The frame and the scan.
        HuffmanTable tables[2][4];     // [0] DC, [1] AC
        Component components[4];
        int component_count = 0;
        uint32_t width = 0;
        uint32_t height = 0;
        uint32_t mcus_high = 0;
        uint32_t mcus_total = 0;               // MCUs (or blocks, one component) of the scan
        uint8_t h_max = 1, v_max = 1;
        bool frame_ok = false;
        uint32_t restart_interval = 0;
        int scan_count = 0;            // components in the scan
        uint8_t scan_component[4] = {};
        uint8_t scan_tables[4][2] = {};
        uint32_t mcus_wide = 0;

        // Where the decoding stands.
        Phase phase = Phase::dc_code;
        uint32_t code = 0, code_length = 0;   // the Huffman code so far
        uint32_t bits_wanted = 0;              // extra bits of a value
        uint32_t bits_value = 0, bits_seen = 0;
        uint32_t run = 0;                      // zeros before the coefficient being read
        int zz = 0;                            // next coefficient of the block, zigzag order
        uint32_t mcu = 0, block_in_mcu = 0;
        uint32_t mcus_in_interval = 0;
        int comp = 0;                          // component of the block
        uint32_t column = 0;                   // its block column
        int dc_predictor[4] = {};
        int last_dc_diff[4] = {};
        int16_t block[64] = {};
        int nonzero = 0;
        uint32_t blocks_per_mcu = 1;
        uint8_t mcu_component[10] = {};        // component of each block of an MCU
        uint8_t mcu_dx[10] = {}, mcu_dy[10] = {};
        uint32_t block_row[4] = {};            // ns == 1: row and column of the next block
        uint32_t block_col[4] = {};
    };
    Image m_;

    // Prediction.
    uint32_t contexts_[kInputs] = {};       // hashed at the start of each symbol
    uint32_t* used_[kInputs] = {};
    uint32_t mixer_set_ = 0;
    ZeroedArray<uint32_t> table_;           // probability (22 bits) and count (10 bits)
    bool table_ready_ = false;              // set up since the last reset
    uint32_t max_bits_ = 0;
    uint32_t mask_ = 0;
};

}  // namespace strong
}  // namespace vellum
