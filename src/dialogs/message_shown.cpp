#include "message_shown.h"

namespace quillfen {

MsgAnswer showMessage(const messages::Message &message)
{
    using Tone = messages::Message::Tone;
    static const MsgIcon icons[] = {MsgIcon::None, MsgIcon::Information, MsgIcon::Exclamation,
        MsgIcon::Critical, MsgIcon::Exclamation, MsgIcon::Question};
    const bool question = message.tone == Tone::Confirm || message.tone == Tone::Question;
    return showMessage(message.text, message.title, icons[int(message.tone)],
        question ? MsgButtons::YesNo : MsgButtons::Ok, message.details.join(QStringLiteral("\r\n")));
}

bool confirm(const messages::Message &question)
{
    return showMessage(question) == MsgAnswer::Yes;
}

bool confirm(const QString &text)
{
    return confirm(messages::question(text));
}

void showReport(const Report &report)
{
    showMessage(messages::report(report));
}

void showReports(const QList<Report> &reports)
{
    for (const Report &report : reports)
        showReport(report);
}

void reportPlace(const Failure &failure, const QString &place)
{
    showReport(Report::place(failure, place));
}

} // namespace quillfen
