#pragma once

#include "hookserver/GateBox.h"
#include "risk/Risk.h"
#include "sessions/FileChange.h"
#include "sessions/SpriteKind.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>

/// One question waiting for the user, held in the store's queue until closed.
class Gate final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Gate)
    Q_PROPERTY(QString id READ id CONSTANT)
    Q_PROPERTY(QString sessionID READ sessionID CONSTANT)
    Q_PROPERTY(QString toolName READ toolName CONSTANT)
    Q_PROPERTY(QString detail READ detail CONSTANT)
    Q_PROPERTY(QDateTime openedAt READ openedAt CONSTANT)

public:
    Gate(QString id, QString sessionID, QString toolName, QString detail, SpriteKind kind, RiskVerdict risk,
         QDateTime openedAt, std::shared_ptr<GateBox> box, QObject* parent = nullptr);

    const QString& id() const { return m_id; }
    const QString& sessionID() const { return m_sessionID; }
    const QString& toolName() const { return m_toolName; }
    const QString& detail() const { return m_detail; }
    /// The call's tool input as compact JSON: the agent's later events name the same call by it.
    const std::string& input() const { return m_input; }
    void setInput(std::string input) { m_input = std::move(input); }
    SpriteKind kind() const { return m_kind; }
    const RiskVerdict& risk() const { return m_risk; }
    const QDateTime& openedAt() const { return m_openedAt; }
    const std::shared_ptr<GateBox>& box() const { return m_box; }
    /// For file tools: the lines the call will change, shown on the card and the phone page.
    const std::optional<FileChange>& change() const { return m_change; }
    void setChange(std::optional<FileChange> change) { m_change = std::move(change); }

private:
    const QString m_id;
    const QString m_sessionID;
    const QString m_toolName;
    const QString m_detail;
    const SpriteKind m_kind;
    const RiskVerdict m_risk;
    const QDateTime m_openedAt;
    // Shared with the blocked connection thread; lives as long as either holds it.
    const std::shared_ptr<GateBox> m_box;
    std::optional<FileChange> m_change;
    std::string m_input;
};
