#pragma once

#include "sessions/Session.h"
#include "sessions/SpriteKind.h"

#include <QWidget>

/// The status of an activity in capitals ("NEEDS YOU") on a capsule of its tint at 16 %; what the session asks of
/// the person ("WAITING FOR YOU", "FINISHED", "DENIED"), when anything, instead.
class StatusChip final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusChip)

public:
    explicit StatusChip(SpriteKind kind, QWidget* parent = nullptr);

    SpriteKind kind() const { return m_kind; }
    void setKind(SpriteKind kind);
    Session::Attention attention() const { return m_attention; }
    void setAttention(Session::Attention attention);
    QString text() const;
    QColor textColor() const;
    QColor capsuleColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SpriteKind m_kind;
    Session::Attention m_attention = Session::Attention::none;
};
