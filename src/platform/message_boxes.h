#pragma once

#include <QString>

#include <utility>

namespace quillfen {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

struct MessageBoxRequest
{
    MessageBoxRequest() = default;
    MessageBoxRequest(QString text, QString title, MsgIcon icon = MsgIcon::None,
        MsgButtons buttons = MsgButtons::Ok, QString details = {})
        : text(std::move(text))
        , title(std::move(title))
        , icon(icon)
        , buttons(buttons)
        , details(std::move(details))
    {
    }

    QString text; // may hold CR LF; shown as line breaks
    QString title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    QString details; // lines (CR LF) shown apart in a scrollable list, each unbroken
};

// Every message box of the program goes through this seam: the program installs the
// windowing implementation, tests install one that records and answers from a script.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    virtual MsgAnswer show(const MessageBoxRequest &request) = 0;
};

// The installed implementation; without one, boxes are written to standard error and
// answered OK or No. Installing answers the one replaced (null: none).
MessageBoxes &messageBoxes();
MessageBoxes *setMessageBoxes(MessageBoxes *boxes);

MsgAnswer showMessage(const QString &text, const QString &title, MsgIcon icon = MsgIcon::None,
    MsgButtons buttons = MsgButtons::Ok, const QString &details = {});

} // namespace quillfen
