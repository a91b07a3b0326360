#pragma once

#include "audit/AuditEntry.h"
#include "support/AppPaths.h"
#include "support/Clock.h"

#include <QList>
#include <QObject>
#include <QString>
#include <optional>
#include <string_view>

/// The journal of tool runs and gate decisions: one JSON Lines file per local day, today's records in memory
/// (newest first) for the settings window, the per-agent scoreboard and the CSV export. Main thread only.
class AuditLog final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AuditLog)
    Q_PROPERTY(QList<AuditEntry> today READ today NOTIFY todayChanged)
    Q_PROPERTY(qint64 clicksSaved READ clicksSaved NOTIFY todayChanged)

public:
    /// One scoreboard row; `agent` is its identity.
    struct Score {
        QString agent;
        QString displayName;
        qint64 toolsRun = 0;
        qint64 approved = 0; // approved + auto-allowed
        qint64 denied = 0;   // denied + auto-denied
        qint64 autoAllowed = 0;
        qint64 risky = 0; // any kind with risk >= 2

        /// Share of requests approved as a whole percentage, truncated; 100 when there were none.
        int trust() const;
        bool operator==(const Score&) const = default;
    };

    /// `record` keeps at most this many entries in `today`, dropping the oldest.
    static constexpr qsizetype todayLimit = 500;
    static constexpr const char* exportFileName = "vorlix-agents-audit.csv";

    /// Loads today's day file (the clock's date in the clock's time zone).
    explicit AuditLog(QString folder = AppPaths::auditDir(), const Clock& clock = Clock::system(),
                      QObject* parent = nullptr);

    /// Puts the entry at the front of `today` and appends it to the day file of its own date. Returns whether
    /// the line reached the file (callers may ignore it: journal errors are not shown to the user).
    bool record(const AuditEntry& entry);

    /// Newest first: today's file as loaded at start-up (uncapped) plus everything recorded since.
    const QList<AuditEntry>& today() const { return m_today; }
    /// Scores per agent over `today`, most tools run first (ties keep the order of latest activity).
    QList<Score> scoreboard() const;
    /// Entries of `today` whose kind begins with "auto".
    qint64 clicksSaved() const;
    /// Writes every day file, oldest first, as one CSV file in the desktop folder and returns its path;
    /// nothing when the journal folder cannot be listed or the file could not be written.
    std::optional<QString> exportCSV() const;

    const QString& folder() const { return m_folder; }
    /// The day file for a moment: "yyyy-MM-dd.jsonl" in the clock's time zone. Creates the folder.
    QString dayFilePath(const QDateTime& ts) const;
    /// ~/Desktop/vorlix-agents-audit.csv (the XDG desktop folder).
    static QString exportPath();
    /// "Claude Code", "Codex", "Grok Build", "Kiro CLI", else the name itself.
    static QString displayName(const QString& agent);

signals:
    void todayChanged();

private:
    void load();
    static void appendRow(QByteArray& out, std::string_view line, AuditEntry::Raw& raw);

    QString m_folder;
    const Clock& m_clock;
    QList<AuditEntry> m_today;
};
