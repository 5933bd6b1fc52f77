#pragma once
// Records every message box shown while alive and answers from a script.

#include "Messages.h"

#include <QList>
#include <deque>

class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();

    // Answers for the next questions, in order; without one, Ok/Yes.
    void answer(platform::MsgAnswer a) { m_answers.push_back(a); }

    const QList<platform::Message>& messages() const { return m_messages; }
    QStringList texts() const;

private:
    QList<platform::Message> m_messages;
    std::deque<platform::MsgAnswer> m_answers;
    platform::MessageHandler m_previous;
};
