#include "scripted_message_boxes.h"

namespace quillfen::test {

ScriptedMessageBoxes::ScriptedMessageBoxes()
    : m_previous(&messageBoxes())
{
    setMessageBoxes(this);
}

ScriptedMessageBoxes::~ScriptedMessageBoxes()
{
    setMessageBoxes(nullptr);
}

MsgAnswer ScriptedMessageBoxes::show(const MessageBoxRequest &request)
{
    m_shown.append(request);
    if (m_hook)
        m_hook(request);
    if (!m_answers.empty()) {
        const MsgAnswer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    return request.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
}

QStringList ScriptedMessageBoxes::texts() const
{
    QStringList result;
    for (const MessageBoxRequest &request : m_shown)
        result.append(request.text);
    return result;
}

} // namespace quillfen::test
