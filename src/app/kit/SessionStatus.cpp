#include "kit/SessionStatus.h"

SessionStatus::Status SessionStatus::of(SpriteKind kind) {
    switch (kind) {
    case SpriteKind::needsApproval:
    case SpriteKind::question:
    case SpriteKind::planReview:
    case SpriteKind::error:
        return Status::needsYou;
    case SpriteKind::done:
        return Status::completed;
    default:
        return Status::active;
    }
}

QString SessionStatus::label(SpriteKind kind) {
    switch (of(kind)) {
    case Status::active:
        return QStringLiteral("active");
    case Status::completed:
        return QStringLiteral("completed");
    case Status::needsYou:
        return QStringLiteral("needs you");
    }
    return QString();
}

QString SessionStatus::label(Session::Attention attention) {
    switch (attention) {
    case Session::Attention::none:
        break;
    case Session::Attention::waitingForYou:
        return QStringLiteral("waiting for you");
    case Session::Attention::waitingForInput:
        return QStringLiteral("waiting for input");
    case Session::Attention::finished:
        return QStringLiteral("finished");
    case Session::Attention::denied:
        return QStringLiteral("denied");
    }
    return QString();
}
