#include "codec/update_table.h"

namespace vellum {

void build_update_table(ProbabilityUpdateTable& table, unsigned adapt_rate) {
    const unsigned fast = adapt_rate - 1;
    const unsigned slow = adapt_rate + 3;
    for (unsigned p = 0; p < 256; ++p) {
        const unsigned rest = 256 - p;
        table.next[2 * p + 1] =
            static_cast<uint8_t>((2 * p + (rest >> fast) + (rest >> slow)) >> 1);
        table.next[2 * p] =
            static_cast<uint8_t>(((p - (p >> fast)) + (p - (p >> slow))) >> 1);
    }
}

}  // namespace vellum
