#include "sessions/GateDetail.h"

#include "sessions/QuestionAnswer.h"
#include "support/VisibleText.h"

#include <QStringList>

namespace {
QString textOf(const JSONValue* value) {
    if (value == nullptr)
        return QString();
    const auto text = value->stringValue();
    return text ? QString::fromStdString(*text).trimmed() : QString();
}
} // namespace

QString GateDetail::text(const QString& tool, const std::optional<JSONValue>& input) {
    return VisibleText::reveal(shown(tool, input));
}

QString GateDetail::askLabel(const QString& tool) {
    if (QuestionAnswer::isQuestion(tool))
        return QStringLiteral("asks you");
    if (isPlan(tool))
        return QStringLiteral("plan to approve");
    return QString();
}

bool GateDetail::isPlan(const QString& tool) {
    return tool == QLatin1String("ExitPlanMode");
}

bool GateDetail::hasPlan(const std::optional<JSONValue>& input) {
    return input && !textOf(input->find("plan")).isEmpty();
}

QString GateDetail::shown(const QString& tool, const std::optional<JSONValue>& input) {
    if (!input)
        return QString();
    if (tool == QLatin1String("AskUserQuestion")) {
        if (const JSONValue* list = input->find("questions"); list != nullptr) {
            const QString asked = questions(*list);
            if (!asked.isEmpty())
                return asked;
        }
    } else if (isPlan(tool)) {
        const QString plan = textOf(input->find("plan"));
        if (!plan.isEmpty())
            return plan;
    }
    return QString::fromStdString(input->preview());
}

// One block per question: its text, then one line per option with its description; blank lines between.
QString GateDetail::questions(const JSONValue& list) {
    if (list.kind() != JSONValue::Kind::Array)
        return QString();
    QStringList blocks;
    for (const JSONValue& item : list.array()) {
        const QString question = textOf(item.find("question"));
        if (question.isEmpty())
            continue;
        QStringList lines{question};
        if (const JSONValue* options = item.find("options");
            options != nullptr && options->kind() == JSONValue::Kind::Array) {
            for (const JSONValue& option : options->array()) {
                const QString label = textOf(option.find("label"));
                if (label.isEmpty())
                    continue;
                const QString description = textOf(option.find("description"));
                lines << QStringLiteral("- ") + label +
                             (description.isEmpty() ? QString() : QStringLiteral(": ") + description);
            }
        }
        if (const JSONValue* multi = item.find("multiSelect");
            multi != nullptr && multi->kind() == JSONValue::Kind::Bool && multi->boolValue())
            lines << QStringLiteral("(several may be chosen)");
        blocks << lines.join(QLatin1Char('\n'));
    }
    return blocks.join(QStringLiteral("\n\n"));
}
