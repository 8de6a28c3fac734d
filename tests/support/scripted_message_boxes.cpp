#include "scripted_message_boxes.h"

namespace quillfen::test {

ScriptedMessageBoxes::ScriptedMessageBoxes()
    : m_previous(setMessageBoxes(this))
{
}

ScriptedMessageBoxes::~ScriptedMessageBoxes()
{
    setMessageBoxes(m_previous);
}

MsgAnswer ScriptedMessageBoxes::show(const MessageBoxRequest &request)
{
    m_shown.append(request);
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

QStringList boxesSeen(const ScriptedMessageBoxes &boxes)
{
    const char *icons[] = {"None", "Critical", "Question", "Exclamation", "Information"};
    QStringList seen;
    for (const MessageBoxRequest &box : boxes.shown())
        seen.append(box.title + QLatin1String(" | ") + box.text + QLatin1String(" | ")
            + QLatin1String(icons[int(box.icon)])
            + QLatin1String(box.buttons == MsgButtons::YesNo ? " YesNo" : " Ok")
            + (box.details.isEmpty() ? QString() : QLatin1String(" | ") + box.details));
    return seen;
}

} // namespace quillfen::test
