#include "panel/LineWrap.h"

#include <QTextBoundaryFinder>
#include <array>
#include <vector>

namespace {

struct Grapheme {
    qsizetype at;
    double advance;
    bool space;
};

std::vector<Grapheme> graphemes(const QString& text, const QFontMetricsF& metrics) {
    // Commands are mostly ASCII: their advances are looked up, not measured one string at a time.
    std::array<double, 128> ascii{};
    ascii.fill(-1);
    std::vector<Grapheme> out;
    out.reserve(static_cast<size_t>(text.size()));
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype at = 0;
    for (qsizetype next = finder.toNextBoundary(); next != -1; next = finder.toNextBoundary()) {
        const QChar first = text[at];
        double advance = 0;
        if (next - at == 1 && first.unicode() < 128) {
            double& known = ascii[first.unicode()];
            if (known < 0)
                known = metrics.horizontalAdvance(first);
            advance = known;
        } else {
            advance = metrics.horizontalAdvance(text.mid(at, next - at));
        }
        out.push_back({at, advance, first.isSpace()});
        at = next;
    }
    return out;
}

} // namespace

QStringList LineWrap::wrap(const QString& text, const QFontMetricsF& metrics, double width) {
    const std::vector<Grapheme> parts = graphemes(text, metrics);
    const auto position = [&](size_t index) { return index < parts.size() ? parts[index].at : text.size(); };
    // A break before grapheme i, just after a hyphen that a non-space follows, would split a word.
    const auto splitsWord = [&](size_t i) {
        return i > 0 && text[parts[i].at - 1] == QLatin1Char('-') && !parts[i].space;
    };

    QStringList lines;
    size_t start = 0;
    size_t afterSpace = 0; // the last place after a run of spaces on this line, 0 for none
    double x = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        const Grapheme& g = parts[i];
        if (i > start && !g.space && parts[i - 1].space)
            afterSpace = i;
        // Spaces may hang past the edge; a visible character that does not fit starts a new line.
        if (!g.space && i > start && x + g.advance > width) {
            size_t cut = afterSpace > start ? afterSpace : i;
            if (cut == i) {
                while (cut > start + 1 && splitsWord(cut))
                    --cut;
                if (splitsWord(cut))
                    cut = i; // a line of nothing but hyphens: no better place
            }
            lines.append(text.mid(position(start), position(cut) - position(start)));
            start = cut;
            afterSpace = 0;
            x = 0;
            for (size_t k = start; k < i; ++k)
                x += parts[k].advance;
        }
        x += g.advance;
    }
    lines.append(text.mid(position(start)));
    return lines;
}
