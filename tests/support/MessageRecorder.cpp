#include "MessageRecorder.h"

using namespace platform;

MessageRecorder::MessageRecorder()
{
    m_previous = SetMessageHandler([this](const Message& m) {
        m_messages.append(m);
        if (!m_answers.empty()) {
            const MsgAnswer a = m_answers.front();
            m_answers.pop_front();
            return a;
        }
        return m.buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    });
}

MessageRecorder::~MessageRecorder()
{
    SetMessageHandler(std::move(m_previous));
}

QStringList MessageRecorder::texts() const
{
    QStringList t;
    for (const Message& m : m_messages)
        t.append(m.text);
    return t;
}
