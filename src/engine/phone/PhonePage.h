#pragma once

#include "risk/Risk.h"
#include "sessions/QuestionAnswer.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class Gate;
class Session;
struct FileChange;

/// The phone page: one card per open gate with Deny, Allow and, where it may, "Allow for this session". A small script
/// asks the server once a second for the version of the set of gates and fetches the list again only when it changed,
/// so the page never reloads under the reader's thumb; without scripts a Refresh link does. Pure: built from the gates,
/// the sessions, the token and the version.
class PhonePage final {
public:
    /// Rates a gate's call from its tool name, detail and the working directory of its session.
    using Assess =
        std::function<RiskVerdict(const QString& tool, const QString& detail, const std::optional<QString>& cwd)>;

    /// How often the page asks for the version, in milliseconds.
    static constexpr int pollMs = 1000;

    static QString html(const QList<Gate*>& gates, const QList<Session*>& sessions, const QString& token,
                        const Assess& assess, quint64 version);
    /// The cards (or the empty state) alone: what the page puts in place when the version changes.
    static QString gateList(const QList<Gate*>& gates, const QList<Session*>& sessions, const Assess& assess);
    /// moreWaiting: how many gates wait behind this one, said on the card when there are any.
    static QString card(const Gate& gate, const Session* session, const Assess& assess, qsizetype moreWaiting = 0);

    /// "Allow for this session", where the call may have a session rule; nothing where it may not.
    static QString sessionButton(const Gate& gate, const RiskVerdict& verdict);

    /// The most of a detail a card shows, in UTF-8 bytes: a command of megabytes would make a page of as many,
    /// built and sent again on every reload.
    static constexpr qsizetype maxDetailBytes = 4096;
    /// The detail up to maxBytes (whole characters), then a line saying how many bytes are left out.
    static QString shownDetail(const QString& detail, qsizetype maxBytes = maxDetailBytes);
    /// A question's card: each question with its options as buttons, and "Answer in the terminal".
    static QString questionCard(const Gate& gate, const Session* session, const QList<QuestionAnswer::Question>& asked,
                                qsizetype moreWaiting);
    /// The lines an edit or a write will change, as the panel's card shows them: marked, escaped, monospace.
    static QString diff(const FileChange& change);
    /// For a value written between single quotes in a script inside a double-quoted attribute: every character
    /// other than letters, digits, "-", "_" and "." becomes a \uXXXX escape, so ordinary ids stay as they are.
    static QString scriptString(const QString& text);

    static QString levelColour(Risk level);

    static const char* const styleSheet;
};
