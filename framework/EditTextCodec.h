#pragma once

// How an edit view's 8-bit text is held by Qt's text document, which keeps line breaks as block
// separators and turns every CR and LF it is given into one.
//
// The text is bytes in the system code page, one character per byte: a CR LF pair is one line
// break (one block separator, counted as two characters), a CR or LF on its own is a visible
// symbol (U+240D, U+240A), a zero byte the symbol U+2400, and every other byte the character
// with its Latin-1 code. So character counts and positions stay those of the bytes, and every
// byte survives a round trip. A character that no byte stands for (pasted or typed from beyond
// Latin-1) reads back as '?', as an 8-bit code page would store it. Any thread.

#include <QString>
#include <string>
#include <string_view>

namespace drel {

inline constexpr char16_t kLoneCrSymbol = u'\u240D';
inline constexpr char16_t kLoneLfSymbol = u'\u240A';
inline constexpr char16_t kNulSymbol = u'\u2400';

// The document text for `bytes`: CR LF pairs become '\n' (a block separator once inserted).
QString BytesToDisplay(std::string_view bytes);

// The byte one character of a block stands for.
char ByteOfChar(QChar ch);

// Appends the bytes of one block's text (no line breaks inside) to `out`.
void AppendBlockBytes(const QString& blockText, std::string& out);

// `text` with every character that no byte stands for replaced by '?' (one per code point),
// line breaks kept; what pasting and typing may put into the document.
QString ToEightBit(const QString& text);

}  // namespace drel
