#include "codec/strong/jpeg_model.h"

#include <cstring>

#include "codec/strong/adaptive.h"
#include "codec/strong/logistic.h"

namespace vellum {
namespace strong {
namespace {

// Markers (the byte after 0xFF).
constexpr uint32_t kStartOfImage = 0xD8;
constexpr uint32_t kEndOfImage = 0xD9;
constexpr uint32_t kStartOfScan = 0xDA;
constexpr uint32_t kHuffmanTables = 0xC4;
constexpr uint32_t kRestartInterval = 0xDD;
constexpr uint32_t kFirstRestart = 0xD0;
constexpr uint32_t kLastRestart = 0xD7;

// Segments kept whole to be read; others are only counted off.
bool kept(uint32_t marker) {
    return marker == 0xC0 || marker == 0xC1 || marker == kHuffmanTables || marker == kStartOfScan ||
           marker == kRestartInterval || (marker >= 0xC2 && marker <= 0xCF);
}

uint32_t hash(uint32_t a, uint32_t b) {
    uint32_t h = (a * 0x9E3779B1u) ^ (b * 0x85EBCA77u) ^ (b >> 15);
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 12);
}

// Sign and size class of a coefficient: 0, then +-(1 + log2 |v|).
int magnitude_class(int v) {
    if (v == 0) return 0;
    int a = v < 0 ? -v : v;
    int k = 1;
    while (a > 1 && k < 12) {
        a >>= 1;
        ++k;
    }
    return v < 0 ? -k : k;
}

uint32_t as_index(int v) { return static_cast<uint32_t>(v + 32); }

}  // namespace

void JpegModel::HuffmanTable::build(const uint8_t counts[16], const uint8_t* values, int total) {
    std::memset(symbols, 0, sizeof symbols);
    std::memcpy(symbols, values, static_cast<size_t>(total));
    int32_t code = 0;
    int32_t k = 0;
    for (int length = 1; length <= 16; ++length) {
        first[length] = k;
        min_code[length] = code;
        code += counts[length - 1];
        k += counts[length - 1];
        max_code[length] = counts[length - 1] ? code - 1 : -1;
        code <<= 1;
    }
    max_code[17] = -1;
    defined = true;
}

void JpegModel::reset(uint32_t bits) {
    if (bits > max_bits_) bits = max_bits_;
    mask_ = (uint32_t{1} << bits) - 1;
    table_ready_ = false;
    m_ = Image{};
    for (uint32_t& c : contexts_) c = 0;
    for (uint32_t*& u : used_) u = &table_[0];
    mixer_set_ = 0;
}

// --- byte level: markers and segments ---------------------------------------------

void JpegModel::add_byte(uint32_t c) {
    const uint32_t previous = m_.last_byte;
    m_.last_byte = c;
    if (m_.scan_bits) {
        // The byte's bits went through update(); 0xFF is data followed by a
        // stuffed zero or a marker.
        if (c == 0xFF) {
            m_.scan_bits = false;
            m_.after_ff = true;
        }
        return;
    }
    if (m_.after_ff) {
        if (c == 0x00) {
            m_.after_ff = false;
            m_.scan_bits = true;
            return;
        }
        if (c >= kFirstRestart && c <= kLastRestart) {
            // The decoding starts afresh at an interval's first block.
            m_.after_ff = false;
            m_.scan_bits = true;
            for (int& d : m_.dc_predictor) d = 0;
            m_.mcus_in_interval = 0;
            start_block();
            return;
        }
        if (c == 0xFF) return;  // fill bytes
        m_.after_ff = false;
        // Any other marker ends the scan and is read as a marker.
    } else if (!m_.active) {
        if (previous == 0xFF && c == kStartOfImage) {
            m_.active = true;
            // The table is set up when the first image of an entry starts:
            // most entries hold none.
            if (!table_ready_) {
                for (size_t i = 0; i <= mask_; ++i) table_[i] = uint32_t{1} << 31;
                table_ready_ = true;
            }
            m_.frame_ok = false;
            m_.restart_interval = 0;
            for (auto& kind : m_.tables)
                for (HuffmanTable& t : kind) t.defined = false;
            m_.marker = 0;
            m_.length_bytes = 0;
            m_.segment_left = 0;
        }
        return;
    } else if (m_.segment_left > 0) {
        if (kept(m_.marker)) m_.segment.push_back(static_cast<uint8_t>(c));
        if (--m_.segment_left == 0) segment_done();
        return;
    } else if (m_.length_bytes > 0) {
        m_.segment_left = m_.segment_left << 8 | c;
        if (++m_.length_bytes == 3) {
            m_.length_bytes = 0;
            if (m_.segment_left < 2) {
                stop();
                return;
            }
            m_.segment_left -= 2;
            m_.segment.clear();
            if (m_.segment_left == 0) segment_done();
        }
        return;
    } else if (previous != 0xFF || c == 0xFF) {
        // Between segments only markers (and fill bytes) may come.
        if (c != 0xFF) stop();
        return;
    }
    // c is a marker.
    if (c == kEndOfImage) {
        stop();
        return;
    }
    if (c == kStartOfImage || (c >= kFirstRestart && c <= kLastRestart) || c == 0x01) return;
    m_.marker = c;
    m_.length_bytes = 1;
    m_.segment_left = 0;
}

void JpegModel::segment_done() {
    const std::vector<uint8_t>& s = m_.segment;
    const size_t n = s.size();
    if (m_.marker == 0xC0 || m_.marker == 0xC1) {
        m_.frame_ok = false;
        if (n < 6 || s[0] != 8) return;
        m_.height = static_cast<uint32_t>(s[1]) << 8 | s[2];
        m_.width = static_cast<uint32_t>(s[3]) << 8 | s[4];
        const int count = s[5];
        if (count < 1 || count > 4 || n < 6 + 3 * static_cast<size_t>(count) || m_.width == 0) return;
        m_.component_count = count;
        m_.h_max = m_.v_max = 1;
        for (int i = 0; i < count; ++i) {
            Component& c = m_.components[i];
            c.id = s[6 + 3 * i];
            c.h = s[7 + 3 * i] >> 4;
            c.v = s[7 + 3 * i] & 15;
            if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) return;
            if (c.h > m_.h_max) m_.h_max = c.h;
            if (c.v > m_.v_max) m_.v_max = c.v;
        }
        const uint32_t mcus_wide = (m_.width + 8u * m_.h_max - 1) / (8u * m_.h_max);
        for (int i = 0; i < count; ++i) {
            Component& c = m_.components[i];
            c.blocks_wide = mcus_wide * c.h;
            c.row.assign(static_cast<size_t>(c.blocks_wide) * 64, 0);
        }
        m_.mcus_wide = mcus_wide;
        m_.mcus_high = (m_.height + 8u * m_.v_max - 1) / (8u * m_.v_max);
        m_.frame_ok = m_.height > 0;
    } else if (m_.marker >= 0xC2 && m_.marker <= 0xCF && m_.marker != kHuffmanTables && m_.marker != 0xC8 &&
               m_.marker != 0xCC) {
        m_.frame_ok = false;  // progressive, lossless or arithmetic coding: not followed
    } else if (m_.marker == kHuffmanTables) {
        size_t at = 0;
        while (at + 17 <= n) {
            const int kind = s[at] >> 4, id = s[at] & 15;
            if (kind > 1 || id > 3) return;
            int total = 0;
            for (int i = 0; i < 16; ++i) total += s[at + 1 + static_cast<size_t>(i)];
            if (total > 256 || at + 17 + static_cast<size_t>(total) > n) return;
            m_.tables[kind][id].build(&s[at + 1], &s[at + 17], total);
            at += 17 + static_cast<size_t>(total);
        }
    } else if (m_.marker == kRestartInterval) {
        if (n >= 2) m_.restart_interval = static_cast<uint32_t>(s[0]) << 8 | s[1];
    } else if (m_.marker == kStartOfScan) {
        if (start_scan()) m_.scan_bits = true;
    }
}

bool JpegModel::start_scan() {
    const std::vector<uint8_t>& s = m_.segment;
    if (!m_.frame_ok || s.empty()) return false;
    const int count = s[0];
    if (count < 1 || count > m_.component_count || s.size() < 4 + 2 * static_cast<size_t>(count)) return false;
    m_.blocks_per_mcu = 0;
    for (int i = 0; i < count; ++i) {
        int index = -1;
        for (int k = 0; k < m_.component_count; ++k)
            if (m_.components[k].id == s[1 + 2 * i]) index = k;
        if (index < 0) return false;
        m_.scan_component[i] = static_cast<uint8_t>(index);
        m_.scan_tables[i][0] = s[2 + 2 * i] >> 4;
        m_.scan_tables[i][1] = s[2 + 2 * i] & 15;
        if (m_.scan_tables[i][0] > 3 || m_.scan_tables[i][1] > 3 || !m_.tables[0][m_.scan_tables[i][0]].defined ||
            !m_.tables[1][m_.scan_tables[i][1]].defined)
            return false;
        const Component& c = m_.components[index];
        const uint32_t blocks = count == 1 ? 1u : uint32_t{c.h} * c.v;
        if (m_.blocks_per_mcu + blocks > 10) return false;
        for (uint32_t b = 0; b < blocks; ++b) {
            m_.mcu_component[m_.blocks_per_mcu] = static_cast<uint8_t>(i);
            m_.mcu_dx[m_.blocks_per_mcu] = static_cast<uint8_t>(b % c.h);
            m_.mcu_dy[m_.blocks_per_mcu] = static_cast<uint8_t>(b / c.h);
            ++m_.blocks_per_mcu;
        }
    }
    const size_t tail = 1 + 2 * static_cast<size_t>(count);
    if (s[tail] != 0 || s[tail + 1] != 63 || s[tail + 2] != 0) return false;  // sequential only
    m_.scan_count = count;
    // A scan of one component walks that component's blocks row by row.
    if (count == 1) {
        const Component& c = m_.components[m_.scan_component[0]];
        const uint32_t wide = ((m_.width * c.h + m_.h_max - 1) / m_.h_max + 7) / 8;
        const uint32_t high = ((m_.height * c.v + m_.v_max - 1) / m_.v_max + 7) / 8;
        m_.block_col[0] = 0;
        m_.block_row[0] = wide;  // blocks in a row of this scan
        m_.mcus_total = wide * high;
    } else {
        m_.mcus_total = m_.mcus_wide * m_.mcus_high;
    }
    for (int& d : m_.dc_predictor) d = 0;
    for (int& d : m_.last_dc_diff) d = 0;
    m_.mcu = m_.block_in_mcu = m_.mcus_in_interval = 0;
    start_block();
    return true;
}

// --- bit level: the Huffman decoding -----------------------------------------------

void JpegModel::start_block() {
    // After the last block of an interval or of the image, the byte is filled
    // up with 1s before the marker that follows.
    if (m_.block_in_mcu == 0 && (m_.mcu >= m_.mcus_total || (m_.restart_interval != 0 && m_.mcus_in_interval >= m_.restart_interval))) {
        m_.phase = Phase::padding;
        contexts_[0] = hash(9, 0);
        for (int i = 1; i < kInputs; ++i) contexts_[i] = contexts_[0] + static_cast<uint32_t>(i);
        mixer_set_ = 4 * 64;
        return;
    }
    const int in_scan = m_.mcu_component[m_.block_in_mcu];
    m_.comp = m_.scan_component[in_scan];
    const Component& c = m_.components[m_.comp];
    if (m_.scan_count == 1) {
        m_.column = m_.block_col[0];
    } else {
        m_.column = (m_.mcu % m_.mcus_wide) * c.h + m_.mcu_dx[m_.block_in_mcu];
    }
    if (m_.column >= c.blocks_wide) m_.column = c.blocks_wide - 1;
    std::memset(m_.block, 0, sizeof m_.block);
    m_.zz = 0;
    m_.nonzero = 0;
    m_.phase = Phase::dc_code;
    m_.code = m_.code_length = 0;
    symbol_contexts();
}

void JpegModel::block_done() {
    Component& c = m_.components[m_.comp];
    std::memcpy(&c.row[static_cast<size_t>(m_.column) * 64], m_.block, sizeof m_.block);
    if (m_.scan_count == 1) {
        if (++m_.block_col[0] >= m_.block_row[0]) m_.block_col[0] = 0;
        ++m_.mcu;
        ++m_.mcus_in_interval;
    } else if (++m_.block_in_mcu == m_.blocks_per_mcu) {
        m_.block_in_mcu = 0;
        ++m_.mcu;
        ++m_.mcus_in_interval;
    }
    start_block();
}

void JpegModel::symbol_decoded(uint32_t symbol) {
    m_.code = m_.code_length = 0;
    if (m_.phase == Phase::dc_code) {
        if (symbol > 11) return stop();
        if (symbol == 0) return bits_decoded(0);
        m_.phase = Phase::dc_bits;
        m_.bits_wanted = symbol;
    } else {
        const uint32_t run = symbol >> 4, size = symbol & 15;
        if (size == 0) {
            if (run == 0) return block_done();  // end of block
            if (run != 15) return stop();
            m_.zz += 16;                          // sixteen zeros
            if (m_.zz > 63) return stop();
            symbol_contexts();
            return;
        }
        m_.zz += static_cast<int>(run);
        if (m_.zz > 63 || size > 10) return stop();
        m_.run = run;
        m_.phase = Phase::ac_bits;
        m_.bits_wanted = size;
    }
    m_.bits_value = m_.bits_seen = 0;
    symbol_contexts();
}

void JpegModel::bits_decoded(int raw) {
    const uint32_t size = m_.phase == Phase::dc_code ? 0 : m_.bits_wanted;
    int value = raw;
    if (size > 0 && raw < (1 << (size - 1))) value = raw - (1 << size) + 1;
    if (m_.phase != Phase::ac_bits) {
        m_.last_dc_diff[m_.comp] = value;
        m_.dc_predictor[m_.comp] += value;
        m_.block[0] = static_cast<int16_t>(m_.dc_predictor[m_.comp]);
        m_.zz = 1;
    } else {
        m_.block[m_.zz] = static_cast<int16_t>(value);
        ++m_.nonzero;
        if (++m_.zz == 64) return block_done();
    }
    m_.phase = Phase::ac_code;
    m_.code = m_.code_length = 0;
    symbol_contexts();
}

// Contexts of the symbol about to be read, from where it stands in its block
// and the coefficients around it: at the same place in the block above and in
// the block to the left, and the ones before it in this block.
void JpegModel::symbol_contexts() {
    const Component& c = m_.components[m_.comp];
    const int k = m_.zz < 64 ? m_.zz : 63;
    const int16_t* above = &c.row[static_cast<size_t>(m_.column) * 64];
    const int16_t* left = m_.column > 0 ? &c.row[static_cast<size_t>(m_.column - 1) * 64] : above;
    const uint32_t ph = static_cast<uint32_t>(m_.phase);
    const uint32_t size = (m_.phase == Phase::dc_bits || m_.phase == Phase::ac_bits) ? m_.bits_wanted : 0;
    const uint32_t base = (ph << 8 | static_cast<uint32_t>(m_.comp) << 6 | static_cast<uint32_t>(k)) << 4 | size;
    const int a = above[k], l = left[k];
    const int prev = k > 0 ? m_.block[k - 1] : 0;
    const int prev2 = k > 1 ? m_.block[k - 2] : 0;
    int energy = 0;
    for (int i = k; i < k + 3 && i < 64; ++i) energy += (above[i] < 0 ? -above[i] : above[i]) + (left[i] < 0 ? -left[i] : left[i]);
    int dc_guess = 0;
    if (k == 0) dc_guess = (above[0] + left[0]) / 2 - m_.dc_predictor[m_.comp];
    contexts_[0] = hash(1, base);
    contexts_[1] = hash(2, base << 8 | as_index(magnitude_class(a)));
    contexts_[2] = hash(3, base << 8 | as_index(magnitude_class(l)));
    contexts_[3] = hash(4, base << 12 | as_index(magnitude_class(a)) << 6 | as_index(magnitude_class(l)));
    contexts_[4] = hash(5, base << 10 | static_cast<uint32_t>(m_.nonzero < 15 ? m_.nonzero : 15) << 6 | (m_.run & 15));
    contexts_[5] = hash(6, base << 12 | as_index(magnitude_class(prev)) << 6 | as_index(magnitude_class(prev2)));
    contexts_[6] = hash(7, base << 8 | static_cast<uint32_t>(magnitude_class(energy) + 32));
    contexts_[7] = hash(8, k == 0 ? base << 8 | as_index(magnitude_class(dc_guess))
                                  : base << 8 | as_index(magnitude_class(a + l)));
    mixer_set_ = ph * 64 + static_cast<uint32_t>(k);
}

uint32_t JpegModel::predict(int16_t* inputs) {
    const uint32_t state = m_.phase == Phase::padding ? 0
                           : m_.phase == Phase::dc_code || m_.phase == Phase::ac_code
                               ? (1u << m_.code_length) | m_.code
                               : (1u << m_.bits_seen) | m_.bits_value;
    // The contexts are well mixed hashes already: the bits of the symbol so
    // far only need spreading over them.
    const uint32_t spread = state * 0x9E3779B1u;
    for (int i = 0; i < kInputs; ++i) {
        uint32_t* e = &table_[((contexts_[i] ^ spread) * 0x2C1B3C6Du >> 8) & mask_];
        used_[i] = e;
        inputs[i] = static_cast<int16_t>(stretch(static_cast<int>(*e >> 20)));
    }
    return mixer_set_;
}

void JpegModel::update(int bit) {
    for (int i = 0; i < kInputs; ++i) {
        uint32_t& e = *used_[i];
        const uint32_t n = e & 1023;
        const int64_t p22 = e >> 10;
        const int64_t target = bit ? (int64_t{1} << 22) - 1 : 0;
        const int64_t moved = p22 + (((target - p22) * kLearningSteps.step[n]) >> 16);
        e = static_cast<uint32_t>(moved << 10) | (n < 255 ? n + 1 : n);
    }
    if (!m_.scan_bits || m_.phase == Phase::padding) return;
    if (m_.phase == Phase::dc_code || m_.phase == Phase::ac_code) {
        m_.code = m_.code * 2 + static_cast<uint32_t>(bit);
        if (++m_.code_length > 16) return stop();
        const HuffmanTable& t =
            m_.tables[m_.phase == Phase::ac_code][m_.scan_tables[m_.mcu_component[m_.block_in_mcu]][m_.phase == Phase::ac_code]];
        const int32_t code = static_cast<int32_t>(m_.code);
        if (code <= t.max_code[m_.code_length])
            symbol_decoded(t.symbols[(t.first[m_.code_length] + code - t.min_code[m_.code_length]) & 255]);
    } else {
        m_.bits_value = m_.bits_value * 2 + static_cast<uint32_t>(bit);
        if (++m_.bits_seen == m_.bits_wanted) bits_decoded(static_cast<int>(m_.bits_value));
    }
}

}  // namespace strong
}  // namespace vellum
