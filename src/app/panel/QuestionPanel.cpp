#include "panel/QuestionPanel.h"

#include "kit/FlatButton.h"
#include "kit/Metrics.h"
#include "kit/Palette.h"
#include "kit/PlainLabel.h"
#include "kit/Type.h"
#include "support/VisibleText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

QuestionPanel::QuestionPanel(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(Metrics::sectionGap);
    m_list = new QWidget(this);
    m_listLayout = new QVBoxLayout(m_list);
    m_listLayout->setContentsMargins(0, 0, 0, 0);
    m_listLayout->setSpacing(Metrics::tightGap);
    column->addWidget(m_list);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(Metrics::wideGap);
    m_terminal = new FlatButton(QStringLiteral("Answer in the terminal"), Palette::text2(), false, true, this);
    m_terminal->setObjectName(QStringLiteral("answerInTerminal"));
    m_send = new FlatButton(QStringLiteral("Send"), Palette::positive(), true, true, this);
    m_send->setObjectName(QStringLiteral("sendAnswer"));
    buttons->addWidget(m_terminal, 1);
    buttons->addWidget(m_send, 1);
    column->addLayout(buttons);
    connect(m_terminal, &QAbstractButton::clicked, this, &QuestionPanel::leftToTerminal);
    connect(m_send, &QAbstractButton::clicked, this, [this] {
        if (m_send->isEnabled())
            emit answered(picks());
    });
}

void QuestionPanel::setQuestions(const QList<QuestionAnswer::Question>& questions) {
    m_questions = questions;
    m_options.clear();
    m_picked.clear();
    // A gate's questions never change; a new gate gets new rows.
    while (QLayoutItem* item = m_listLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (int q = 0; q < questions.size(); ++q) {
        const QuestionAnswer::Question& question = questions[q];
        if (q > 0)
            m_listLayout->addSpacing(Metrics::gap);
        QString heading = VisibleText::oneLine(question.header).toUpper();
        if (question.multiSelect)
            heading += QStringLiteral(" \u00b7 CHOOSE ANY");
        m_listLayout->addWidget(PlainLabel::make(heading, Type::mono(10, QFont::Bold), Palette::text3(), m_list));
        QLabel* text = PlainLabel::make(VisibleText::reveal(question.text), Type::label(), Palette::text(), m_list);
        text->setWordWrap(true);
        m_listLayout->addWidget(text);
        QList<FlatButton*> row;
        for (int o = 0; o < question.options.size(); ++o) {
            const QuestionAnswer::Option& option = question.options[o];
            auto* button = new FlatButton(VisibleText::oneLine(option.label), Palette::positive(), false, true, m_list);
            button->setObjectName(QStringLiteral("option-%1-%2").arg(q).arg(o));
            m_listLayout->addWidget(button);
            if (!option.description.isEmpty()) {
                QLabel* description = PlainLabel::make(VisibleText::oneLine(option.description), Type::caption(),
                                                       Palette::text2(), m_list);
                description->setWordWrap(true);
                m_listLayout->addWidget(description);
            }
            connect(button, &QAbstractButton::clicked, this, [this, q, o] { pick(q, o); });
            row << button;
        }
        m_options << row;
        m_picked << QList<bool>(question.options.size(), false);
    }
    m_send->setVisible(!(questions.size() == 1 && !questions.first().multiSelect));
    updateSend();
}

void QuestionPanel::pick(int question, int option) {
    if (m_questions.size() == 1 && !m_questions.first().multiSelect) {
        emit answered({{question, option}});
        return;
    }
    QList<bool>& picked = m_picked[question];
    const bool now = !picked[option];
    if (!m_questions[question].multiSelect)
        picked.fill(false);
    picked[option] = now;
    for (int o = 0; o < picked.size(); ++o)
        m_options[question][o]->setFilled(picked[o]);
    updateSend();
}

QList<QuestionAnswer::Pick> QuestionPanel::picks() const {
    QList<QuestionAnswer::Pick> out;
    for (int q = 0; q < m_picked.size(); ++q) {
        for (int o = 0; o < m_picked[q].size(); ++o) {
            if (m_picked[q][o])
                out.append({q, o});
        }
    }
    return out;
}

void QuestionPanel::updateSend() {
    bool complete = true;
    for (const QList<bool>& picked : m_picked)
        complete = complete && picked.contains(true);
    m_send->setEnabled(complete);
    m_send->setToolTip(complete ? QString() : QStringLiteral("Pick an answer to every question"));
}
