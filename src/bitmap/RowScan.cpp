#include "bitmap/RowScan.h"

namespace RowScan {

size_t RunEnd(const uint8_t* row, size_t i, size_t rowBytes) {
    size_t j = i;
    while (j + 19 <= rowBytes) {
        const uint64_t d0 = Load64(row + j) ^ Load64(row + j + 3);
        const uint64_t d1 = Load64(row + j + 8) ^ Load64(row + j + 11);
        if (d0 | d1) {
            const size_t m = d0 ? j + FirstDiffByte(d0) : j + 8 + FirstDiffByte(d1);
            return i + ((m - i) / 3 + 1) * 3;
        }
        j += 16;
    }
    for (; j + 3 < rowBytes; ++j) {
        if (row[j] != row[j + 3]) return i + ((j - i) / 3 + 1) * 3;
    }
    return rowBytes;
}

} // namespace RowScan
