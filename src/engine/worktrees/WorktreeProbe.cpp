#include "worktrees/WorktreeProbe.h"

#include "sessions/Session.h"

QList<WorktreeProbe> WorktreeProbe::of(const QList<Session*>& sessions) {
    QList<WorktreeProbe> probes;
    for (const Session* session : sessions) {
        if (session != nullptr)
            probes.append({session->source(), session->cwd(), session->lastSeen()});
    }
    return probes;
}
