#include "terminal/HexDump.h"

#include <algorithm>
#include <cstdio>

namespace drel {

namespace {

constexpr char kDigits[] = "0123456789abcdef";

bool Prints(uint8_t byte) {
    return byte >= 0x20 && byte < 0x7F;
}

}  // namespace

std::string HexDumpRow(uint64_t rowOffset, size_t lead, const uint8_t* bytes, size_t count) {
    char offset[24];
    std::snprintf(offset, sizeof offset, "%08llx  ", static_cast<unsigned long long>(rowOffset));
    std::string row = offset;
    std::string chars(lead, ' ');
    for (size_t position = 0; position < kHexRowBytes; ++position) {
        if (position == kHexRowBytes / 2) {
            row += ' ';  // a gap between the two halves
        }
        if (position < lead || position >= lead + count) {
            row += "   ";
            continue;
        }
        const uint8_t byte = bytes[position - lead];
        row += kDigits[byte >> 4];
        row += kDigits[byte & 0x0F];
        row += ' ';
        chars += Prints(byte) ? static_cast<char>(byte) : '.';
    }
    return row + " |" + chars + "|";
}

std::vector<std::string> HexDumpRows(const ReceivedHistory& history, uint64_t firstRow,
                                     size_t rowCount) {
    std::vector<uint8_t> bytes;
    const uint64_t from = firstRow * kHexRowBytes;
    const uint64_t first = history.Read(from, rowCount * kHexRowBytes, bytes);
    std::vector<std::string> rows;
    // Bytes pushed out since the caller looked shift the start; the rows stay where they were.
    const uint64_t end = from + rowCount * kHexRowBytes;
    size_t at = 0;
    for (uint64_t rowOffset = from; at < bytes.size() && rowOffset < end;
         rowOffset += kHexRowBytes) {
        const uint64_t start = first + at;
        if (start >= rowOffset + kHexRowBytes) {
            continue;
        }
        const size_t lead = static_cast<size_t>(start - rowOffset);
        const size_t count = std::min(kHexRowBytes - lead, bytes.size() - at);
        rows.push_back(HexDumpRow(rowOffset, lead, bytes.data() + at, count));
        at += count;
    }
    return rows;
}

}  // namespace drel
