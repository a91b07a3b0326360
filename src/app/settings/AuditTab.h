#pragma once

#include "settings/TabPage.h"

#include <QColor>
#include <QString>

class AuditLog;
struct AuditEntry;

/// Today's journal of tool calls and decisions, newest first, and its export as CSV.
class AuditTab final : public TabPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AuditTab)

public:
    /// Entries beyond this many are not drawn.
    static constexpr int shownLimit = 80;

    explicit AuditTab(AuditLog& audit, QWidget* parent = nullptr);

    /// Yellow for denials, faded green for auto-allowed, faded pink for tool runs, green for approvals.
    static QColor dot(const AuditEntry& entry);
    /// The entry's local time of day, "HH:mm:ss".
    static QString time(const AuditEntry& entry);
    /// The name of the file last exported while this tab was open; empty before and after a failed export.
    const QString& exported() const { return m_exported; }
    void exportCSV();

protected:
    void build(QBoxLayout* column) override;

private:
    static QWidget* entryRow(const AuditEntry& entry);

    AuditLog& m_audit;
    QString m_exported;
    bool m_exportFailed = false;
};
