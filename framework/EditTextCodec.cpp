#include "framework/EditTextCodec.h"

#include <QList>

namespace drel {

QString BytesToDisplay(std::string_view bytes) {
    QString display;
    display.reserve(static_cast<qsizetype>(bytes.size()));
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            display += QChar(u'\n');
            ++i;
        } else if (byte == '\r') {
            display += QChar(kLoneCrSymbol);
        } else if (byte == '\n') {
            display += QChar(kLoneLfSymbol);
        } else if (byte == 0) {
            display += QChar(kNulSymbol);
        } else {
            display += QChar(byte);
        }
    }
    return display;
}

char ByteOfChar(QChar ch) {
    switch (ch.unicode()) {
        case kLoneCrSymbol:
            return '\r';
        case kLoneLfSymbol:
            return '\n';
        case kNulSymbol:
            return '\0';
        default:
            return ch.unicode() <= 0xFF ? static_cast<char>(ch.unicode()) : '?';
    }
}

void AppendBlockBytes(const QString& blockText, std::string& out) {
    for (const QChar ch : blockText) {
        out += ByteOfChar(ch);
    }
}

QString ToEightBit(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (const char32_t codePoint : text.toUcs4()) {
        const bool symbol =
            codePoint == kLoneCrSymbol || codePoint == kLoneLfSymbol || codePoint == kNulSymbol;
        result +=
            codePoint <= 0xFF || symbol ? QChar(static_cast<char16_t>(codePoint)) : QChar(u'?');
    }
    return result;
}

}  // namespace drel
