#pragma once

#include <QFontMetricsF>
#include <QString>
#include <QStringList>

/// Breaks one line of agent text into lines that fit a width, for boxes that show commands: at a space where
/// one is near, else at any character, but never right after a hyphen inside a word, so `--prefer-offline` or
/// `-rf` is never split into what reads as two arguments.
class LineWrap final {
public:
    /// The lines, in order; joined they give the text back. An empty text is one empty line.
    static QStringList wrap(const QString& text, const QFontMetricsF& metrics, double width);
};
