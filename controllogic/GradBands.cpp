#include "controllogic/GradBands.h"

#include <cstddef>

namespace palomix {

GradBandList GradBands(int extent) {
    const long double step = static_cast<long double>(extent) / 255.0L;
    const int band = static_cast<int>(step + 1.0L);
    GradBandList bands{};
    int start = 0;
    for (std::size_t i = 0; i < bands.size(); ++i) {
        bands[i] = GradBand{start, start + band};
        start = static_cast<int>(static_cast<long double>(i) * step);
    }
    return bands;
}

}  // namespace palomix
