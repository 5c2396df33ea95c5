#include "connection/HexBytes.h"

#include <algorithm>

namespace drel {

namespace {

bool IsSeparator(char ch) {
    return ch == ' ' || ch == '\t' || ch == ',';
}

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') {
        return ch - '0';
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    return -1;
}

std::string Column(size_t position) {
    return "column " + std::to_string(position + 1);
}

// One value as written, without separators or quotes: its byte, or -1 when it is none.
int ByteValue(std::string_view value) {
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        value.remove_prefix(2);
    }
    if (value.empty() || value.size() > 2) {
        return -1;
    }
    int byte = 0;
    for (const char ch : value) {
        const int digit = HexDigit(ch);
        if (digit < 0) {
            return -1;
        }
        byte = byte * 16 + digit;
    }
    return byte;
}

// Reads the value that begins at `position`, up to the next separator or quote, and appends its
// byte or sets `error`. Returns where the value ended.
size_t ReadValue(std::string_view text, size_t position, HexBytes& result) {
    size_t end = position;
    while (end < text.size() && !IsSeparator(text[end]) && text[end] != '"') {
        ++end;
    }
    const std::string_view value = text.substr(position, end - position);
    const int byte = ByteValue(value);
    if (byte < 0) {
        result.error = "\"" + std::string(value) + "\" at " + Column(position) +
                       " is not a byte value (one or two hex digits, 0x optional)";
    } else {
        result.bytes += static_cast<char>(byte);
    }
    return end;
}

// Reads the string whose opening quote is at `position` and appends its characters, a doubled
// quote as one; sets `error` when it does not end. Returns where it ended.
size_t ReadString(std::string_view text, size_t position, HexBytes& result) {
    for (size_t at = position + 1; at < text.size(); ++at) {
        if (text[at] != '"') {
            result.bytes += text[at];
        } else if (at + 1 < text.size() && text[at + 1] == '"') {
            result.bytes += '"';
            ++at;
        } else {
            return at + 1;
        }
    }
    result.error = "the string at " + Column(position) + " has no closing quote";
    return text.size();
}

}  // namespace

HexBytes ParseHexBytes(std::string_view text) {
    HexBytes result;
    size_t position = 0;
    while (position < text.size() && result.error.empty()) {
        if (IsSeparator(text[position])) {
            ++position;
        } else if (text[position] == '"') {
            position = ReadString(text, position, result);
        } else {
            position = ReadValue(text, position, result);
        }
    }
    if (result.error.empty() && result.bytes.empty()) {
        result.error = "nothing to send";
    }
    if (!result.error.empty()) {
        result.bytes.clear();
    }
    return result;
}

void HexHistory::Add(const std::string& text) {
    std::erase(m_entries, text);
    m_entries.push_front(text);
    if (m_entries.size() > kLength) {
        m_entries.pop_back();
    }
}

}  // namespace drel
