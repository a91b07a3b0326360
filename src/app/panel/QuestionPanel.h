#pragma once

#include "sessions/QuestionAnswer.h"

#include <QList>
#include <QWidget>

class FlatButton;
class QVBoxLayout;

/// A question's answers on the card: each question with its options as buttons. An option answers a lone
/// single-choice question at once; otherwise options are picked (one per single-choice question) and Send answers
/// them all, once every question has its pick.
class QuestionPanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuestionPanel)

public:
    explicit QuestionPanel(QWidget* parent = nullptr);

    /// Shows these questions with nothing picked.
    void setQuestions(const QList<QuestionAnswer::Question>& questions);
    /// The option buttons of each question, in order.
    const QList<QList<FlatButton*>>& optionButtons() const { return m_options; }
    FlatButton* sendButton() const { return m_send; }
    FlatButton* terminalButton() const { return m_terminal; }

signals:
    void answered(const QList<QuestionAnswer::Pick>& picks);
    /// "Answer in the terminal".
    void leftToTerminal();

private:
    void pick(int question, int option);
    QList<QuestionAnswer::Pick> picks() const;
    void updateSend();

    QList<QuestionAnswer::Question> m_questions;
    QList<QList<FlatButton*>> m_options;
    QList<QList<bool>> m_picked;
    QWidget* m_list = nullptr;
    QVBoxLayout* m_listLayout = nullptr;
    FlatButton* m_terminal = nullptr;
    FlatButton* m_send = nullptr;
};
