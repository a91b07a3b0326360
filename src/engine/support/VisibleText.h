#pragma once

#include <QString>

/// Agent text made safe to show: characters that reorder or break what is around them are shown as their code
/// ("⟨U+202E⟩"), so a card cannot display "echo done" for a command that writes a Python file.
class VisibleText final {
public:
    /// Bidi controls (U+202A–U+202E, U+2066–U+2069, U+200E, U+200F, U+061C) and the line and paragraph
    /// separators U+2028, U+2029 made visible; ordinary line breaks stay.
    static QString reveal(const QString& text);
    /// For one-line labels: line breaks (LF, CR, VT, FF, NEL) made visible too.
    static QString oneLine(const QString& text);
};
