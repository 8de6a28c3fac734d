#pragma once

#include "support/scripted_message_boxes.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include <unistd.h>

// Readable failure messages for texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace quillfen::test {

inline QString q(const char *text)
{
    return QString::fromUtf8(text);
}

// Creates each entry below `root`: a name ending in "/" is a folder, "name->target" a link.
inline void makeTree(const QString &root, std::initializer_list<const char *> entries)
{
    for (const char *entry : entries) {
        const QString text = q(entry);
        if (text.contains(q("->"))) {
            const QStringList parts = text.split(q("->"));
            ASSERT_EQ(::symlink(parts[1].toUtf8().constData(), (root + parts[0]).toUtf8().constData()), 0);
        } else if (text.endsWith(QLatin1Char('/'))) {
            ASSERT_TRUE(QDir().mkpath(root + text));
        } else {
            QDir().mkpath(QFileInfo(root + text).absolutePath());
            QFile file(root + text);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
}

// A file last changed three hours ago, so that a run does not take it for a new one.
inline void writeOldFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    file.write(content);
    file.flush();
    file.setFileTime(QDateTime::currentDateTime().addSecs(-3 * 3600), QFileDevice::FileModificationTime);
}

// Runs `act` on the modal window that the next call opens, then closes it if still open.
inline void onNextModal(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            ADD_FAILURE() << "no modal window opened";
            return;
        }
        act(modal);
        if (modal->isVisible())
            modal->close();
    });
}

// Every box shown so far as "title | text | icon buttons".
inline QStringList boxesSeen(const ScriptedMessageBoxes &boxes)
{
    const char *icons[] = {"None", "Critical", "Question", "Exclamation", "Information"};
    QStringList seen;
    for (const MessageBoxRequest &box : boxes.shown())
        seen.append(box.title + q(" | ") + box.text + q(" | ") + q(icons[int(box.icon)])
            + (box.buttons == MsgButtons::YesNo ? q(" YesNo") : q(" Ok")));
    return seen;
}

} // namespace quillfen::test
