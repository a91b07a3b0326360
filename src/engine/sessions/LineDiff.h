#pragma once

#include <QList>
#include <QString>
#include <QStringList>

/// One line of a line diff, or a line saying something about the change as a whole.
struct DiffLine {
    enum class Kind { context, removed, added, gap, note };
    Kind kind = Kind::context;
    /// The line without its line break; empty for a gap; the sentence of a note.
    QString text;

    bool operator==(const DiffLine&) const = default;
};

/// A compact line diff for showing what an edit will change; pure, no Qt Gui.
class LineDiff final {
public:
    /// Beyond this many edits the diff stops looking for the shortest script and shows old out, new in.
    static constexpr int maxEdits = 1000;
    /// Unchanged lines kept on each side of a change in the compact form.
    static constexpr int contextLines = 2;
    /// Lines a card or the phone page shows before "… N more lines".
    static constexpr int maxShown = 12;

    struct Shown {
        QList<DiffLine> lines;
        qsizetype more = 0;
        bool operator==(const Shown&) const = default;
    };

    /// Splits at "\n", "\r\n" or "\r"; a final line break does not start another line; "" has no lines.
    static QStringList splitLines(const QString& text);
    /// Every line of both texts in order. Within a run of changes each removed line is followed by the line that
    /// replaces it (−a +A −b +B, then what is left over), so the new text is never further down than the old.
    static QList<DiffLine> diff(const QString& oldText, const QString& newText);
    /// Unchanged runs cut down to contextLines around each change; a cut between two changes becomes a gap.
    /// Notes are always kept.
    static QList<DiffLine> compact(const QList<DiffLine>& lines);
    /// At most maxShown lines of the compact form; `more` counts the lines of it left out (gaps are not lines).
    static Shown shown(const QList<DiffLine>& lines);
    /// "− ", "+ ", "  " or "⋯" before the text (a note as it is), bidi controls made visible: how both the card and
    /// the phone page mark a line.
    static QString marked(const DiffLine& line);
    /// "… 7 more lines" ("… 1 more line").
    static QString moreText(qsizetype more);
};
