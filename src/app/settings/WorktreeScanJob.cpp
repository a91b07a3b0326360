#include "settings/WorktreeScanJob.h"

#include "worktrees/WorktreeScanner.h"

#include <QThread>
#include <memory>
#include <vector>

WorktreeScanJob::WorktreeScanJob(QObject* parent) : QObject(parent) {}

WorktreeScanJob::~WorktreeScanJob() {
    if (m_thread != nullptr) {
        m_thread->wait();
        delete m_thread;
    }
}

void WorktreeScanJob::start(const QList<Session*>& sessions) {
    if (m_thread != nullptr)
        return;
    QList<Probe> probes;
    for (const Session* session : sessions) {
        if (session != nullptr)
            probes.append({session->source(), session->cwd(), session->lastSeen()});
    }
    auto result = std::make_shared<QList<Worktree>>();
    m_thread = QThread::create([probes, result] { *result = scan(probes); });
    // Delivered on the main thread, where this object lives.
    connect(m_thread, &QThread::finished, this, [this, result] {
        m_thread->deleteLater();
        m_thread = nullptr;
        m_worktrees = *result;
        emit runningChanged();
        emit finished();
    });
    m_thread->start();
    emit runningChanged();
}

QList<Worktree> WorktreeScanJob::scan(const QList<Probe>& probes) {
    std::vector<std::unique_ptr<Session>> copies;
    QList<Session*> sessions;
    for (const Probe& probe : probes) {
        copies.push_back(std::make_unique<Session>(QString(), probe.source, probe.cwd, probe.lastSeen));
        copies.back()->setLastSeen(probe.lastSeen);
        sessions.append(copies.back().get());
    }
    WorktreeScanner scanner;
    scanner.scan(sessions);
    return scanner.worktrees();
}
