#pragma once

#include "JSONValue.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

/// A question the agent puts to the person (AskUserQuestion): its questions and options as the card and the phone
/// show them, and the answer built from the options picked. The answer is always made from the call's own input,
/// so what the agent gets is exactly what the person saw.
class QuestionAnswer final {
public:
    struct Option {
        QString label;
        QString description;
    };
    struct Question {
        QString text;
        QString header;
        QList<Option> options;
        bool multiSelect = false;
    };
    /// One option picked: the question's index and the option's index, both from 0.
    using Pick = std::pair<int, int>;

    struct Built {
        /// The call's input with `answers` added, each question's text mapped to its chosen labels; absent when
        /// the picks do not answer the questions, and then `error` says why.
        std::optional<JSONValue> updatedInput;
        /// One line per question for the journal: its text, then the chosen labels.
        QStringList chosen;
        QString error;
    };

    static bool isQuestion(const QString& tool);
    /// The questions, in order; empty unless every one has its text (distinct from the others) and at least one
    /// option, each with a label: otherwise no answer could be told apart, and the person answers in the terminal.
    static QList<Question> questions(const JSONValue& input);
    static Built build(const JSONValue& input, const QList<Pick>& picks);
    /// Several chosen labels as the agent reads them in one answer.
    static QString joined(const QStringList& labels);
};
