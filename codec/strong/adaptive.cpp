#include "codec/strong/adaptive.h"

#include <algorithm>

namespace vellum {
namespace strong {

LearningSteps::LearningSteps() {
    for (uint32_t n = 0; n < 1024; ++n) step[n] = 65536 * 2 / (2 * n + 3);
}

const LearningSteps kLearningSteps;

void AdaptiveMap::reset(size_t contexts, int limit) {
    table_.assign(contexts, uint32_t{2048} << 20);
    limit_ = static_cast<uint32_t>(limit);
}

void Apm::reset(size_t contexts, int rate) {
    table_.resize(contexts * 33);
    for (int j = 0; j < 33; ++j) table_[static_cast<size_t>(j)] = static_cast<uint16_t>(squash((j - 16) * 128) * 16);
    // Every context starts alike: the first row, copied in doubling steps.
    for (size_t done = 1; done < contexts;) {
        const size_t n = done < contexts - done ? done : contexts - done;
        std::copy(table_.begin(), table_.begin() + static_cast<std::ptrdiff_t>(n * 33),
                  table_.begin() + static_cast<std::ptrdiff_t>(done * 33));
        done += n;
    }
    rate_ = rate;
}

}  // namespace strong
}  // namespace vellum
