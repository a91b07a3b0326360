#include "hookserver/Gate.h"

Gate::Gate(QString id, QString sessionID, QString toolName, QString detail, SpriteKind kind, RiskVerdict risk,
           QDateTime openedAt, std::shared_ptr<GateBox> box, QObject* parent)
    : QObject(parent), m_id(std::move(id)), m_sessionID(std::move(sessionID)), m_toolName(std::move(toolName)),
      m_detail(std::move(detail)), m_kind(kind), m_risk(std::move(risk)), m_openedAt(std::move(openedAt)),
      m_box(std::move(box)) {}
