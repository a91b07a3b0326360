#include "sessions/LineDiff.h"

#include "support/VisibleText.h"

#include <algorithm>
#include <vector>

namespace {

using Kind = DiffLine::Kind;

// Myers' greedy shortest edit script over the lines between the common head and tail. Gives up past maxEdits,
// so a rewrite of a large file costs bounded time and memory.
bool shortestScript(const QStringList& a, const QStringList& b, qsizetype a0, qsizetype a1, qsizetype b0, qsizetype b1,
                    QList<DiffLine>& out) {
    const qsizetype n = a1 - a0;
    const qsizetype m = b1 - b0;
    const qsizetype limit = std::min<qsizetype>(n + m, LineDiff::maxEdits);
    const qsizetype offset = limit + 1;
    std::vector<qsizetype> v(static_cast<std::size_t>(2 * limit + 3), 0);
    std::vector<std::vector<qsizetype>> trace;
    for (qsizetype d = 0; d <= limit; ++d) {
        trace.push_back(v);
        for (qsizetype k = -d; k <= d; k += 2) {
            const auto at = [&](qsizetype kk) -> qsizetype& { return v[static_cast<std::size_t>(kk + offset)]; };
            qsizetype x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
            qsizetype y = x - k;
            while (x < n && y < m && a[a0 + x] == b[b0 + y]) {
                ++x;
                ++y;
            }
            at(k) = x;
            if (x < n || y < m)
                continue;
            // Walk back through the saved frontiers to recover the script.
            QList<DiffLine> reversed;
            qsizetype cx = n;
            qsizetype cy = m;
            for (qsizetype e = d; e > 0; --e) {
                const std::vector<qsizetype>& prev = trace[static_cast<std::size_t>(e)];
                const auto was = [&](qsizetype kk) { return prev[static_cast<std::size_t>(kk + offset)]; };
                const qsizetype ck = cx - cy;
                const bool down = ck == -e || (ck != e && was(ck - 1) < was(ck + 1));
                const qsizetype pk = down ? ck + 1 : ck - 1;
                const qsizetype px = was(pk);
                const qsizetype py = px - pk;
                while (cx > px + (down ? 0 : 1) && cy > py + (down ? 1 : 0)) {
                    reversed.append({Kind::context, a[a0 + cx - 1]});
                    --cx;
                    --cy;
                }
                if (down)
                    reversed.append({Kind::added, b[b0 + py]});
                else
                    reversed.append({Kind::removed, a[a0 + px]});
                cx = px;
                cy = py;
            }
            while (cx > 0 && cy > 0) {
                reversed.append({Kind::context, a[a0 + cx - 1]});
                --cx;
                --cy;
            }
            std::reverse(reversed.begin(), reversed.end());
            out.append(reversed);
            return true;
        }
    }
    return false;
}

// Pairs each removed line of a run of changes with the added line in the same place of the run.
QList<DiffLine> interleaved(const QList<DiffLine>& lines) {
    QList<DiffLine> out;
    out.reserve(lines.size());
    for (qsizetype i = 0; i < lines.size();) {
        if (lines[i].kind != Kind::removed && lines[i].kind != Kind::added) {
            out.append(lines[i++]);
            continue;
        }
        QList<const DiffLine*> removed;
        QList<const DiffLine*> added;
        for (; i < lines.size() && (lines[i].kind == Kind::removed || lines[i].kind == Kind::added); ++i)
            (lines[i].kind == Kind::removed ? removed : added).append(&lines[i]);
        for (qsizetype j = 0; j < std::max(removed.size(), added.size()); ++j) {
            if (j < removed.size())
                out.append(*removed[j]);
            if (j < added.size())
                out.append(*added[j]);
        }
    }
    return out;
}

bool isChange(const DiffLine& line) {
    return line.kind == Kind::removed || line.kind == Kind::added;
}

} // namespace

QStringList LineDiff::splitLines(const QString& text) {
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normal.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (normal.isEmpty())
        return {};
    if (normal.endsWith(QLatin1Char('\n')))
        normal.chop(1);
    return normal.split(QLatin1Char('\n'));
}

QList<DiffLine> LineDiff::diff(const QString& oldText, const QString& newText) {
    const QStringList a = splitLines(oldText);
    const QStringList b = splitLines(newText);
    qsizetype head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    qsizetype tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;

    QList<DiffLine> out;
    out.reserve(a.size() + b.size() - head - tail);
    for (qsizetype i = 0; i < head; ++i)
        out.append({Kind::context, a[i]});
    if (!shortestScript(a, b, head, a.size() - tail, head, b.size() - tail, out)) {
        for (qsizetype i = head; i < a.size() - tail; ++i)
            out.append({Kind::removed, a[i]});
        for (qsizetype i = head; i < b.size() - tail; ++i)
            out.append({Kind::added, b[i]});
    }
    for (qsizetype i = a.size() - tail; i < a.size(); ++i)
        out.append({Kind::context, a[i]});
    return interleaved(out);
}

QList<DiffLine> LineDiff::compact(const QList<DiffLine>& lines) {
    const qsizetype count = lines.size();
    std::vector<bool> keep(static_cast<std::size_t>(count), false);
    bool changed = false;
    for (qsizetype i = 0; i < count; ++i) {
        if (lines[i].kind == Kind::note)
            keep[static_cast<std::size_t>(i)] = true;
        if (!isChange(lines[i]))
            continue;
        changed = true;
        for (qsizetype j = std::max<qsizetype>(0, i - contextLines); j <= std::min(count - 1, i + contextLines); ++j)
            keep[static_cast<std::size_t>(j)] = true;
    }
    // Identical texts: the first few lines say which text it is.
    if (!changed) {
        QList<DiffLine> out;
        qsizetype context = 0;
        for (const DiffLine& line : lines) {
            if (line.kind == Kind::note || (line.kind == Kind::context && context++ < contextLines))
                out.append(line);
        }
        return out;
    }

    QList<DiffLine> out;
    bool cut = false;
    for (qsizetype i = 0; i < count; ++i) {
        if (!keep[static_cast<std::size_t>(i)] || lines[i].kind == Kind::gap) {
            cut = true;
            continue;
        }
        if (cut && !out.isEmpty())
            out.append({Kind::gap, {}});
        cut = false;
        out.append(lines[i]);
    }
    return out;
}

LineDiff::Shown LineDiff::shown(const QList<DiffLine>& lines) {
    const QList<DiffLine> all = compact(lines);
    if (all.size() <= maxShown)
        return {all, 0};
    QList<DiffLine> head = all.mid(0, maxShown);
    // A gap just before the cut stands for nothing that is shown.
    if (head.last().kind == Kind::gap)
        head.removeLast();
    const auto hidden = std::count_if(all.begin() + head.size(), all.end(),
                                      [](const DiffLine& line) { return line.kind != Kind::gap; });
    return {head, hidden};
}

QString LineDiff::marked(const DiffLine& line) {
    switch (line.kind) {
    case Kind::removed:
        return QStringLiteral("\u2212 ") + VisibleText::reveal(line.text);
    case Kind::added:
        return QStringLiteral("+ ") + VisibleText::reveal(line.text);
    case Kind::gap:
        return QStringLiteral("\u22ef");
    case Kind::note:
        return VisibleText::reveal(line.text);
    case Kind::context:
        break;
    }
    return QStringLiteral("  ") + VisibleText::reveal(line.text);
}

QString LineDiff::moreText(qsizetype more) {
    return QStringLiteral("\u2026 %1 more %2")
        .arg(more)
        .arg(more == 1 ? QStringLiteral("line") : QStringLiteral("lines"));
}
