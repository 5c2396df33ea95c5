#pragma once

// Bytes the user writes down by value, for "Send &Hex...": hex values of one or two digits, each
// with or without 0x, in any case, and quoted strings whose characters go as they are. Values
// and strings are apart by spaces, tabs or commas, any number of them, or glued together:
// `01 0a FF`, `0x01,0x0A`, `"AT"0d`. Inside a string a quote is written twice: `"say ""hi"""`.

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace drel {

// The bytes of a text, or why it has none.
struct HexBytes {
    std::string bytes;  // valid when `error` is empty
    std::string error;  // one line naming the faulty value and its column (from 1), or
                        // "nothing to send"
};

// Reads `text` as above. Fails, with no bytes, on a value that is not one or two hex digits
// (`"0G" at column 4 is not a byte value (one or two hex digits, 0x optional)`), on a string
// without its closing quote, and on a text that holds no byte at all. Any thread.
HexBytes ParseHexBytes(std::string_view text);

// What was sent by value in this run, most recent first, each text once. One thread uses an
// instance.
class HexHistory {
  public:
    // The number of texts kept; the oldest go first.
    static constexpr size_t kLength = 20;

    // Puts `text` first, taking it out of where it stood before. Never fails.
    void Add(const std::string& text);

    const std::deque<std::string>& Entries() const { return m_entries; }

  private:
    std::deque<std::string> m_entries;
};

}  // namespace drel
