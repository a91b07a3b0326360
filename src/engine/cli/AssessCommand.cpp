#include "cli/AssessCommand.h"

#include "JsonFields.h"
#include "risk/RiskEngine.h"

#include <nlohmann/json.hpp>

int AssessCommand::run(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() < 2 || args.size() > 3) {
        err << "usage: VorlixAgents assess TOOL DETAIL [CWD]\n";
        err.flush();
        return 2;
    }
    const std::optional<QString> cwd = args.size() == 3 ? std::optional<QString>(args.at(2)) : std::nullopt;
    const RiskVerdict verdict = RiskEngine::assess(args.at(0), args.at(1), cwd);

    nlohmann::json reasons = nlohmann::json::array();
    for (const QString& reason : verdict.reasons)
        reasons.push_back(reason.toStdString());
    // nlohmann keeps keys sorted, which gives exactly {"level":…,"reasons":[…]}.
    const nlohmann::json line = {{"level", rank(verdict.level)}, {"reasons", reasons}};
    out << QString::fromStdString(Vorlix::JsonFields::compact(line)) << '\n';
    out.flush();
    return 0;
}
