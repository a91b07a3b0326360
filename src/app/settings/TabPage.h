#pragma once

#include <QWidget>

class QBoxLayout;

/// One tab's content: a column, 18 apart and padded 28, built from the models each time one of them changes.
/// Nothing of the models is kept between builds.
class TabPage : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TabPage)

public:
    explicit TabPage(QWidget* parent = nullptr);

    /// Builds again on the next turn of the event loop (never under the widget that asked); requests made
    /// before then give one build.
    void scheduleRebuild();
    /// Builds now.
    void rebuild();

protected:
    /// Adds the tab's children to the column.
    virtual void build(QBoxLayout* column) = 0;

    /// Rebuilds whenever the sender emits the signal.
    template <typename Sender, typename Signal> void watch(Sender* sender, Signal signal) {
        connect(sender, signal, this, &TabPage::scheduleRebuild);
    }

private:
    QWidget* m_body = nullptr;
    bool m_pending = false;
};
