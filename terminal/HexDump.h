#pragma once

// The text of a hex dump: rows of 16 bytes, each as its offset, the bytes in hex and the same
// bytes as characters, "." for those that do not print:
//
//   00000040  41 54 0d 0a 00 ff 20 7e  01 02 03 04 05 06 07 08  |AT.... ~........|
//
// A row may lack bytes at its start (pushed out of the history) or its end (not come yet): their
// columns stay blank, so every byte stands in the column of its offset.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "connection/ReceivedHistory.h"

namespace drel {

inline constexpr size_t kHexRowBytes = 16;

// The row at `rowOffset` (a multiple of 16) whose positions [lead, lead + count) hold `bytes`;
// lead + count is at most 16. Any thread.
std::string HexDumpRow(uint64_t rowOffset, size_t lead, const uint8_t* bytes, size_t count);

// Rows `firstRow` onwards (a row's number is its offset / 16), at most `rowCount` of them, of the
// bytes `history` keeps; rows with no byte kept are left out. Any thread.
std::vector<std::string> HexDumpRows(const ReceivedHistory& history, uint64_t firstRow,
                                     size_t rowCount);

}  // namespace drel
