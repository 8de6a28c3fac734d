#pragma once

#include "platform/message_boxes.h"

#include <QList>

#include <deque>

namespace quillfen::test {

// Records every message box and answers from a script: queued answers first, then OK
// for OK boxes and No for questions. Installs itself for its lifetime.
class ScriptedMessageBoxes final : public MessageBoxes
{
public:
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes() override;

    MsgAnswer show(const MessageBoxRequest &request) override;

    void answerNext(MsgAnswer answer) { m_answers.push_back(answer); }

    const QList<MessageBoxRequest> &shown() const { return m_shown; }
    QStringList texts() const;
    void clear() { m_shown.clear(); }

private:
    MessageBoxes *m_previous;
    QList<MessageBoxRequest> m_shown;
    std::deque<MsgAnswer> m_answers;
};

// Every box shown so far as "title | text | icon buttons", then " | details" where it has them.
QStringList boxesSeen(const ScriptedMessageBoxes &boxes);

} // namespace quillfen::test
