#include "message_boxes.h"

#include <cstdio>
#include <utility>

namespace quillfen {

namespace {

class StderrMessageBoxes final : public MessageBoxes
{
public:
    MsgAnswer show(const MessageBoxRequest &request) override
    {
        std::fprintf(stderr, "[%s] %s\n", qUtf8Printable(request.title), qUtf8Printable(request.text));
        if (!request.details.isEmpty())
            std::fprintf(stderr, "%s\n", qUtf8Printable(request.details));
        return request.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
};

MessageBoxes *g_installed = nullptr;

} // namespace

MessageBoxes &messageBoxes()
{
    static StderrMessageBoxes fallback;
    return g_installed ? *g_installed : fallback;
}

MessageBoxes *setMessageBoxes(MessageBoxes *boxes)
{
    return std::exchange(g_installed, boxes);
}

MsgAnswer showMessage(
    const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons, const QString &details)
{
    return messageBoxes().show(MessageBoxRequest {text, title, icon, buttons, details});
}

} // namespace quillfen
