#include "phone/PhonePage.h"

#include "hookserver/Gate.h"
#include "sessions/FileChange.h"
#include "sessions/GateDetail.h"
#include "sessions/PlanFile.h"
#include "sessions/Session.h"
#include "sessions/SessionRules.h"
#include "support/VisibleText.h"

#include <algorithm>

const char* const PhonePage::styleSheet =
    ":root{color-scheme:dark}"
    "body{margin:0;padding:18px;background:#0a0a0b;color:#eee;font:15px/1.45 -apple-system,system-ui,sans-serif}"
    "h1{font-size:12px;letter-spacing:.14em;color:#666;margin:0 0 16px;font-family:ui-monospace,monospace}"
    ".card{background:#141416;border:1px solid #232326;border-radius:14px;padding:14px;margin-bottom:14px}"
    ".row{display:flex;justify-content:space-between;align-items:center}"
    ".tool{font:11px ui-monospace,monospace;color:#aaa;background:#232326;padding:3px 8px;border-radius:99px}"
    ".proj{font:11px ui-monospace,monospace;color:#777;margin-top:2px}"
    ".risk{font:11px ui-monospace,monospace;margin-top:8px}"
    // Breaks fall between words; only a word wider than the line is broken inside.
    "pre{background:#0d0d0e;border-radius:9px;padding:11px;white-space:pre-wrap;overflow-wrap:anywhere;"
    "font:12px ui-monospace,monospace;color:#ddd;margin:10px 0 14px}"
    ".j{white-space:nowrap}"
    ".btns{display:flex;gap:10px}"
    "button{flex:1;padding:14px;border:0;border-radius:11px;font-size:15px;font-weight:600}"
    ".allow{background:#8ce88c;color:#06210a}"
    ".deny{background:#3a1e2a;color:#fa87bf}"
    // On a risky call the safe answer is the easy one.
    ".safe .deny{background:#fa87bf;color:#2a0716}"
    ".safe .allow{background:#232326;color:#8ce88c}"
    // The longer answer takes a row of its own under the two short ones.
    ".btns{flex-wrap:wrap}"
    ".session{flex-basis:100%;padding:11px;background:#1c2a1d;color:#8ce88c;font-size:14px}"
    ".more{font:11px ui-monospace,monospace;color:#fad96b;margin-top:6px}"
    ".refresh{display:block;text-align:center;color:#8ce88c;font:13px ui-monospace,monospace;padding:10px}"
    ".empty{text-align:center;color:#555;margin-top:22vh;font:14px ui-monospace,monospace}"
    ".empty span{color:#333;font-size:12px}"
    ".diff{margin-top:-6px;padding:8px 0}"
    ".diff span{display:block;padding:0 11px;white-space:pre-wrap}"
    ".diff .del{background:rgba(250,135,191,.18)}"
    ".diff .add{background:rgba(140,232,140,.16)}"
    ".diff .ctx{color:#777}"
    ".diff .note{color:#fad96b}"
    ".qh{font:11px ui-monospace,monospace;color:#8ab4f8;margin-top:12px;text-transform:uppercase}"
    ".qt{margin:2px 0 8px;font-weight:600}"
    ".opts{display:flex;flex-direction:column;gap:8px;margin-bottom:6px}"
    ".opt{flex:none;text-align:left;background:#232326;color:#eee;font-weight:500;border:1px solid #232326}"
    ".opt.on{border-color:#8ce88c;color:#8ce88c}"
    ".opt small{display:block;color:#888;font-weight:400;font-size:12px;margin-top:2px}"
    ".err{color:#fa87bf;font:12px ui-monospace,monospace;margin:6px 0}"
    ".term{background:#232326;color:#aaa}";

QString PhonePage::html(const QList<Gate*>& gates, const QList<Session*>& sessions, const QString& token,
                        const Assess& assess, quint64 version) {
    const QString list = gateList(gates, sessions, assess);
    QString out;
    out.reserve(2600 + list.size());
    out += QStringLiteral("<!doctype html><html><head>"
                          "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
                          "<title>Vorlix Agents</title><style>");
    out += QLatin1String(styleSheet);
    out += QStringLiteral("</style></head><body><h1>VORLIX AGENTS</h1><div id=\"gates\">");
    out += list;
    out += QStringLiteral("</div><noscript><a class=\"refresh\" href=\"/?t=") + token.toHtmlEscaped() +
           QStringLiteral("\">Refresh</a></noscript>");
    // Only the list is replaced, and the scroll position put back: a reader halfway down a long command stays
    // there. A failed poll just tries again.
    out += QStringLiteral("<script>var q='?t=") + scriptString(token) + QStringLiteral("',v='") +
           QString::number(version) +
           QStringLiteral("';"
                          "function g(){fetch('/gates'+q).then(r=>r.ok?r.text():null).then(h=>{if(h===null)return;"
                          "const y=scrollY;document.getElementById('gates').innerHTML=h;scrollTo(0,y)}).catch(()=>{})}"
                          "function p(){fetch('/v'+q).then(r=>r.ok?r.text():null).then(t=>{if(t!==null&&t!==v){v=t;"
                          "g()}}).catch(()=>{}).finally(()=>setTimeout(p,") +
           QString::number(pollMs) +
           QStringLiteral("))}"
                          "setTimeout(p,") +
           QString::number(pollMs) +
           QStringLiteral(");"
                          "function d(id,a){fetch('/decide'+q+'&id='+id+'&a='+a,{method:'POST'}).finally(g)}"
                          // An option answers a lone single-choice question at once; otherwise it is picked (one per
                          // single-choice question) and Send answers them all. A refusal is shown on the card.
                          "function o(b){const c=b.closest('.card'),m=b.parentNode.dataset.m==='1';"
                          "if(c.querySelectorAll('.opts').length===1&&!m){a(c,[b.dataset.p]);return}"
                          "if(!m)b.parentNode.querySelectorAll('.opt').forEach(x=>{if(x!==b)x.classList.remove('on')});"
                          "b.classList.toggle('on')}"
                          "function s(b){const c=b.closest('.card');"
                          "a(c,[...c.querySelectorAll('.opt.on')].map(x=>x.dataset.p))}"
                          "function a(c,l){fetch('/decide'+q+'&id='+c.dataset.id+'&a=answer'+l.map(x=>'&answer='+x)"
                          ".join(''),{method:'POST'}).then(r=>r.ok?g():r.text().then(t=>{c.querySelector('.err')"
                          ".textContent=t})).catch(()=>{})}"
                          "function w(id){fetch('/decide'+q+'&id='+id+'&a=allow&scope=session',{method:'POST'})"
                          ".finally(g)}"
                          "</script></body></html>");
    return out;
}

QString PhonePage::gateList(const QList<Gate*>& gates, const QList<Session*>& sessions, const Assess& assess) {
    if (gates.isEmpty()) {
        return QStringLiteral("<div class=\"empty\">Nothing waiting.<br><span>Your agents are getting on with "
                              "it.</span></div>");
    }
    QString out;
    out.reserve(gates.size() * 900);
    for (qsizetype i = 0; i < gates.size(); ++i) {
        const Gate* gate = gates[i];
        const Session* session = nullptr;
        for (const Session* candidate : sessions) {
            if (candidate->id() == gate->sessionID()) {
                session = candidate;
                break;
            }
        }
        // The oldest first; it says how many more wait below it.
        out += card(*gate, session, assess, i == 0 ? gates.size() - 1 : 0);
    }
    return out;
}

namespace {

// Escaped for HTML. Browsers may break a line after any hyphen: "--prefer-offline" would read as "--prefer-" and
// "offline", "cp -r" as "cp -" and "r". A run of hyphens and the character after it are kept on one line by a
// span, so the text itself (what a person copies) stays exactly the agent's.
QString keptAtHyphens(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 4);
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = i;
        while (end < text.size() && text[end] == u'-')
            ++end;
        if (end == i || end == text.size() || text[end].isSpace()) {
            const qsizetype next = std::max(end, i + 1);
            out += text.mid(i, next - i).toHtmlEscaped();
            i = next;
            continue;
        }
        end += text[end].isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
        out += QStringLiteral("<span class=\"j\">") + text.mid(i, end - i).toHtmlEscaped() + QStringLiteral("</span>");
        i = end;
    }
    return out;
}

} // namespace

QString PhonePage::card(const Gate& gate, const Session* session, const Assess& assess, qsizetype moreWaiting) {
    if (QuestionAnswer::isQuestion(gate.toolName())) {
        const std::optional<JSONValue> input = JSONValue::parse(gate.input());
        const QList<QuestionAnswer::Question> asked =
            input ? QuestionAnswer::questions(*input) : QList<QuestionAnswer::Question>();
        if (!asked.isEmpty())
            return questionCard(gate, session, asked, moreWaiting);
    }
    const QString agent =
        session != nullptr ? QString::fromUtf8(Vorlix::displayName(session->source()).data()) : QStringLiteral("Agent");
    const QString project = session != nullptr ? session->project() : QString();
    const std::optional<QString> cwd = session != nullptr ? std::optional<QString>(session->cwd()) : std::nullopt;
    const RiskVerdict verdict = assess ? assess(gate.toolName(), gate.detail(), cwd) : gate.risk();

    const bool plan = GateDetail::isPlan(gate.toolName());
    QString risk = riskLabel(verdict.level).toHtmlEscaped() + QStringLiteral("  ");
    if (!verdict.reasons.isEmpty())
        risk += QStringLiteral(" \u00B7 ") + verdict.reasons.join(QStringLiteral(", ")).toHtmlEscaped();
    // A plan is the person's to approve, not a risk to rate; it is read at its full (already bounded) length.
    if (plan)
        risk = GateDetail::askLabel(gate.toolName()).toHtmlEscaped();
    const QString id = scriptString(gate.id());
    const QString detail = keptAtHyphens(shownDetail(gate.detail(), plan ? PlanFile::maxBytes : maxDetailBytes));

    QString out;
    out.reserve(640 + detail.size());
    out +=
        QStringLiteral("<div class=\"card\"><div class=\"row\"><b>") + agent.toHtmlEscaped() +
        QStringLiteral("</b><span class=\"tool\">") + gate.toolName().toHtmlEscaped() +
        QStringLiteral("</span></div>") +
        (moreWaiting > 0 ? QStringLiteral("<div class=\"more\">+%1 more waiting</div>").arg(moreWaiting) : QString()) +
        QStringLiteral("<div class=\"proj\">") + project.toHtmlEscaped() +
        QStringLiteral("</div><div class=\"risk\" style=\"color:") +
        (plan ? QStringLiteral("#8ab4f8") : levelColour(verdict.level)) + QStringLiteral("\">") + risk +
        QStringLiteral("</div><pre>") + detail + QStringLiteral("</pre>") +
        (gate.change() ? diff(*gate.change()) : QString()) +
        (verdict.level >= Risk::elevated ? QStringLiteral("<div class=\"btns safe\">")
                                         : QStringLiteral("<div class=\"btns\">")) +
        QStringLiteral("<button class=\"deny\" onclick=\"d('") + id +
        QStringLiteral("','deny')\">Deny</button><button class=\"allow\" onclick=\"d('") + id +
        QStringLiteral("','allow')\">Allow</button>") + sessionButton(gate, verdict) + QStringLiteral("</div></div>");
    return out;
}

QString PhonePage::questionCard(const Gate& gate, const Session* session, const QList<QuestionAnswer::Question>& asked,
                                qsizetype moreWaiting) {
    const QString agent =
        session != nullptr ? QString::fromUtf8(Vorlix::displayName(session->source()).data()) : QStringLiteral("Agent");
    const QString id = scriptString(gate.id());
    QString out = QStringLiteral("<div class=\"card\" data-id=\"") + id + QStringLiteral("\"><div class=\"row\"><b>") +
                  agent.toHtmlEscaped() + QStringLiteral("</b><span class=\"tool\">") +
                  gate.toolName().toHtmlEscaped() + QStringLiteral("</span></div>");
    if (moreWaiting > 0)
        out += QStringLiteral("<div class=\"more\">+%1 more waiting</div>").arg(moreWaiting);
    out += QStringLiteral("<div class=\"proj\">") + (session ? session->project() : QString()).toHtmlEscaped() +
           QStringLiteral("</div><div class=\"risk\" style=\"color:#8ab4f8\">") +
           GateDetail::askLabel(gate.toolName()).toHtmlEscaped() + QStringLiteral("</div>");
    for (qsizetype q = 0; q < asked.size(); ++q) {
        const QuestionAnswer::Question& question = asked[q];
        out += QStringLiteral("<div class=\"qh\">") + VisibleText::reveal(question.header).toHtmlEscaped() +
               (question.multiSelect ? QStringLiteral(" \u00B7 choose any") : QString()) +
               QStringLiteral("</div><div class=\"qt\">") + VisibleText::reveal(question.text).toHtmlEscaped() +
               QStringLiteral("</div><div class=\"opts\" data-m=\"") +
               (question.multiSelect ? QStringLiteral("1") : QStringLiteral("0")) + QStringLiteral("\">");
        for (qsizetype o = 0; o < question.options.size(); ++o) {
            const QuestionAnswer::Option& option = question.options[o];
            out += QStringLiteral("<button class=\"opt\" data-p=\"%1:%2\" onclick=\"o(this)\">").arg(q).arg(o) +
                   VisibleText::reveal(option.label).toHtmlEscaped();
            if (!option.description.isEmpty())
                out += QStringLiteral("<small>") + VisibleText::reveal(option.description).toHtmlEscaped() +
                       QStringLiteral("</small>");
            out += QStringLiteral("</button>");
        }
        out += QStringLiteral("</div>");
    }
    const bool lone = asked.size() == 1 && !asked.first().multiSelect;
    out += QStringLiteral("<div class=\"err\"></div><div class=\"btns\"><button class=\"term\" onclick=\"d('") + id +
           QStringLiteral("','terminal')\">Answer in the terminal</button>") +
           (lone ? QString() : QStringLiteral("<button class=\"allow\" onclick=\"s(this)\">Send</button>")) +
           QStringLiteral("</div></div>");
    return out;
}

QString PhonePage::sessionButton(const Gate& gate, const RiskVerdict& verdict) {
    if (!SessionRules::offered(gate.toolName(), gate.detail(), verdict))
        return {};
    return QStringLiteral("<button class=\"session\" onclick=\"w('") + scriptString(gate.id()) +
           QStringLiteral("')\">Allow for this session</button>");
}

QString PhonePage::shownDetail(const QString& detail, qsizetype maxBytes) {
    // UTF-8 bytes, counted without converting the whole text: details can be megabytes long.
    qsizetype shown = 0;
    qsizetype bytes = 0;
    qsizetype total = 0;
    for (qsizetype i = 0; i < detail.size();) {
        const char16_t c = detail[i].unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < detail.size() && detail[i + 1].isLowSurrogate();
        total += pair ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        i += pair ? 2 : 1;
        if (total <= maxBytes) {
            shown = i;
            bytes = total;
        }
    }
    if (total <= maxBytes)
        return detail;
    return detail.left(shown) + QStringLiteral("\n\u2026 %1 more bytes").arg(total - bytes);
}

QString PhonePage::diff(const FileChange& change) {
    const LineDiff::Shown shown = LineDiff::shown(change.lines);
    QString out = QStringLiteral("<pre class=\"diff\">");
    for (const DiffLine& line : shown.lines) {
        const char* kind = line.kind == DiffLine::Kind::removed ? "del"
                           : line.kind == DiffLine::Kind::added ? "add"
                           : line.kind == DiffLine::Kind::note  ? "note"
                                                                : "ctx";
        out += QStringLiteral("<span class=\"") + QLatin1String(kind) + QStringLiteral("\">") +
               keptAtHyphens(shownDetail(LineDiff::marked(line))) + QStringLiteral("</span>");
    }
    if (shown.more > 0)
        out += QStringLiteral("<span class=\"ctx\">") + LineDiff::moreText(shown.more).toHtmlEscaped() +
               QStringLiteral("</span>");
    return out + QStringLiteral("</pre>");
}

QString PhonePage::scriptString(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' ||
                           u == '_' || u == '.';
        if (plain)
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(static_cast<unsigned>(u), 4, 16, QLatin1Char('0'));
    }
    return out;
}

QString PhonePage::levelColour(Risk level) {
    switch (level) {
    case Risk::trivial:
    case Risk::normal:
        return QStringLiteral("#8ce88c");
    case Risk::elevated:
        return QStringLiteral("#fad96b");
    case Risk::critical:
        return QStringLiteral("#fa87bf");
    }
    return QStringLiteral("#8ce88c");
}
