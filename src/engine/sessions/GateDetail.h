#pragma once

#include "JSONValue.h"

#include <QString>
#include <optional>

/// The text a card shows for a tool call: what the agent asks for, in words a person reads.
class GateDetail final {
public:
    /// A question to the user (AskUserQuestion) gives its questions with their options, a plan to approve
    /// (ExitPlanMode) its plan text; any other call the preview of its input, or the empty text without one.
    /// Bidi controls and line separators are shown as their codes (VisibleText), so the text cannot lie.
    static QString text(const QString& tool, const std::optional<JSONValue>& input);

    /// What a card says of a call that is not a risk to rate but the person's own say: "asks you" for a question,
    /// "plan to approve" for a plan; empty for every other call.
    static QString askLabel(const QString& tool);
    static bool isPlan(const QString& tool);
    /// Whether the input carries the plan's text itself (it then wins over the plan file).
    static bool hasPlan(const std::optional<JSONValue>& input);

private:
    static QString shown(const QString& tool, const std::optional<JSONValue>& input);
    static QString questions(const JSONValue& list);
};
