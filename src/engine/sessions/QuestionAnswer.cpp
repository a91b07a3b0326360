#include "sessions/QuestionAnswer.h"

#include <QSet>

namespace {
QString textOf(const JSONValue* value) {
    const auto text = value != nullptr ? value->stringValue() : std::nullopt;
    return text ? QString::fromStdString(*text) : QString();
}
} // namespace

bool QuestionAnswer::isQuestion(const QString& tool) {
    return tool == QLatin1String("AskUserQuestion");
}

QList<QuestionAnswer::Question> QuestionAnswer::questions(const JSONValue& input) {
    const JSONValue* list = input.find("questions");
    if (list == nullptr || list->kind() != JSONValue::Kind::Array || list->array().empty())
        return {};
    QList<Question> out;
    QSet<QString> seen;
    for (const JSONValue& item : list->array()) {
        Question question{textOf(item.find("question")), textOf(item.find("header")), {}, false};
        const JSONValue* options = item.find("options");
        if (question.text.trimmed().isEmpty() || seen.contains(question.text) || options == nullptr ||
            options->kind() != JSONValue::Kind::Array || options->array().empty())
            return {};
        seen.insert(question.text);
        for (const JSONValue& option : options->array()) {
            Option shown{textOf(option.find("label")), textOf(option.find("description"))};
            if (shown.label.trimmed().isEmpty())
                return {};
            question.options << shown;
        }
        const JSONValue* multi = item.find("multiSelect");
        question.multiSelect = multi != nullptr && multi->kind() == JSONValue::Kind::Bool && multi->boolValue();
        out << question;
    }
    return out;
}

QuestionAnswer::Built QuestionAnswer::build(const JSONValue& input, const QList<Pick>& picks) {
    Built built;
    const QList<Question> asked = questions(input);
    if (asked.isEmpty()) {
        built.error = QStringLiteral("this request has no questions to answer");
        return built;
    }
    // Per question, which options were picked; a repeated pick counts once.
    QList<QList<bool>> picked;
    for (const Question& question : asked)
        picked << QList<bool>(question.options.size(), false);
    for (const auto& [q, o] : picks) {
        if (q < 0 || q >= asked.size()) {
            built.error = QStringLiteral("there is no question %1").arg(q);
            return built;
        }
        if (o < 0 || o >= asked[q].options.size()) {
            built.error = QStringLiteral("question %1 has no option %2").arg(q).arg(o);
            return built;
        }
        picked[q][o] = true;
    }
    JSONValue::Object answers;
    for (qsizetype q = 0; q < asked.size(); ++q) {
        QStringList labels;
        for (qsizetype o = 0; o < asked[q].options.size(); ++o) {
            if (picked[q][o])
                labels << asked[q].options[o].label;
        }
        if (labels.isEmpty()) {
            built.error = QStringLiteral("question %1 is not answered").arg(q);
            return built;
        }
        if (labels.size() > 1 && !asked[q].multiSelect) {
            built.error = QStringLiteral("question %1 takes one answer").arg(q);
            return built;
        }
        answers[asked[q].text.toStdString()] = JSONValue(joined(labels).toStdString());
        built.chosen << asked[q].text + QStringLiteral(" \u2192 ") + joined(labels);
    }
    JSONValue::Object updated = input.object();
    updated["answers"] = JSONValue(std::move(answers));
    built.updatedInput = JSONValue(std::move(updated));
    return built;
}

QString QuestionAnswer::joined(const QStringList& labels) {
    return labels.join(QStringLiteral(", "));
}
