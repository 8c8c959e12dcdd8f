// Re-ordering of a two-sided sensor readout: the sensor reads each row from both ends at once,
// so a row arrives as pixel pairs (a, b) of which a fills the row from the left and b from the
// right, both towards the middle.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel::device {

// One row: the j-th pair (a, b) of source (2 x pairs bytes) goes to column j (a) and column
// 2 x pairs - 1 - j (b) of destination.
void reorderTwoSidedRow(const std::uint8_t *source, std::uint8_t *destination, int pairs);

// For each of `rows` rows, the j-th pair (a, b) of the source row (2 x pairs bytes) goes to
// column j (a) and column 2 x pairs - 1 - j (b) of the destination row; source rows are
// 2 x pairs bytes apart, destination rows rowWidth bytes apart (rowWidth >= 2 x pairs).
void reorderTwoSided(const std::uint8_t *source, std::uint8_t *destination, int rows, int pairs,
                     int rowWidth);

// The same over a frame held in two pieces: source bytes below `split` come from `first`, the
// rest from `second` at (offset - split). A row that straddles the split is put together first.
void reorderTwoSidedSplit(const std::uint8_t *first, const std::uint8_t *second, std::size_t split,
                          std::uint8_t *destination, int rows, int pairs, int rowWidth);

// The same, one byte at a time: the reference the fast version is checked against.
void reorderTwoSidedReference(const std::uint8_t *source, std::uint8_t *destination, int rows,
                              int pairs, int rowWidth);

}  // namespace ostrel::device
