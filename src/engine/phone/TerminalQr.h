#pragma once

#include <QString>

/// A QR code for a terminal: two modules per character cell with Unicode half blocks, dark on a forced light
/// background so it scans on dark and light terminals alike.
class TerminalQr final {
public:
    /// The lines, each ending in a newline; empty when the text does not fit a symbol.
    static QString render(const QString& text);
};
