#include "support/VisibleText.h"

#include <algorithm>

namespace {

bool isHidden(char16_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F || c == 0x061C ||
           c == 0x2028 || c == 0x2029;
}

bool isLineBreak(char16_t c) {
    return c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == 0x85;
}

QString shown(const QString& text, bool breaks) {
    const auto needs = [breaks](QChar c) { return isHidden(c.unicode()) || (breaks && isLineBreak(c.unicode())); };
    // Most text has none: hand it back without a copy.
    if (std::none_of(text.begin(), text.end(), needs))
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        if (needs(c))
            out += QStringLiteral("\u27e8U+%1\u27e9").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

} // namespace

QString VisibleText::reveal(const QString& text) {
    return shown(text, false);
}

QString VisibleText::oneLine(const QString& text) {
    return shown(text, true);
}
