#include "platform/autostart.h"
#include "platform/failure.h"
#include "support/test_support.h"

#include "support/temp_store.h"
#include <QCoreApplication>

using namespace quillfen;
using test::q;

namespace {

QByteArray entryText(const char *text, const QByteArray &own)
{
    return QByteArray(text).replace('@', own);
}

TEST(Autostart, WritesRemovesAndAsksBeforeTouchingAnotherEntry)
{
    // "@" stands for the entry Quillfen writes for this program; no file is nullptr.
    const char *other = "[Desktop Entry]\nType=Application\nExec=/opt/other/quillfen\n";
    const struct
    {
        const char *before;
        bool startsBefore;
        bool on;
        MsgAnswer answer;
        const char *question; // nullptr: no question
        const char *after;
    } cases[] = {
        {nullptr, false, true, MsgAnswer::No, nullptr, "@"},
        {nullptr, false, false, MsgAnswer::No, nullptr, nullptr},
        {"@", true, true, MsgAnswer::No, nullptr, "@"},
        {"@", true, false, MsgAnswer::No, nullptr, nullptr},
        {"@Hidden=true\n", false, true, MsgAnswer::No, "It will be replaced.", "@Hidden=true\n"},
        {"@Hidden = true\n", false, true, MsgAnswer::Yes, "It will be replaced.", "@"},
        {"@# started by hand\n", true, false, MsgAnswer::No, "It will be removed.", "@# started by hand\n"},
        {other, true, false, MsgAnswer::No, "It will be removed.", other},
        {other, true, false, MsgAnswer::Yes, "It will be removed.", nullptr},
        {other, true, true, MsgAnswer::No, nullptr, other},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false, false, MsgAnswer::No, nullptr,
            "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n"},
        {"[Desktop Entry]\nExec=x\n[Other]\nHidden=true\n", true, true, MsgAnswer::No, nullptr,
            "[Desktop Entry]\nExec=x\n[Other]\nHidden=true\n"},
    };
    const QByteArray own = autostartEntryFor(QCoreApplication::applicationFilePath());
    for (const auto &c : cases) {
        test::TempStore store;
        test::ScriptedMessageBoxes boxes;
        const QString path = autostartEntryPath();
        ASSERT_EQ(path, store.root() + q("/config/autostart/quillfen.desktop"));
        if (c.before) {
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(entryText(c.before, own));
        }
        const std::string row = std::string(c.before ? c.before : "(none)") + (c.on ? " on" : " off");
        EXPECT_EQ(startsAtLogin(), c.startsBefore) << row;
        boxes.answerNext(c.answer);
        setStartAtLogin(c.on);
        const QStringList expected = c.question
            ? QStringList {q("The start-at-login entry ") + path
                + q(" was not written by Quillfen for this program.\r\n") + q(c.question)}
            : QStringList {};
        EXPECT_EQ(boxes.texts(), expected) << row;
        QFile file(path);
        EXPECT_EQ(file.exists(), c.after != nullptr) << row;
        if (c.after) {
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << row;
            EXPECT_EQ(file.readAll(), entryText(c.after, own)) << row;
        }
        EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden).size(), c.after ? 1 : 0)
            << row << ": no temporary is left";
    }
}

TEST(Autostart, StartsThisProgramQuotedWhenItHoldsReservedCharacters)
{
    const char *cases[][2] = {
        {"/usr/bin/quillfen", "/usr/bin/quillfen"},
        {"/home/ann/my apps/quillfen", "\"/home/ann/my apps/quillfen\""},
        {"/srv/a$b\"c\\d/100%/quillfen", "\"/srv/a\\\\$b\\\\\"c\\\\\\\\d/100%%/quillfen\""},
    };
    for (const auto &c : cases) {
        const QByteArray entry = autostartEntryFor(q(c[0]));
        EXPECT_TRUE(entry.contains("\nExec=" + QByteArray(c[1]) + "\n")) << entry.constData();
        EXPECT_TRUE(entry.contains("\nX-GNOME-Autostart-enabled=true\n")) << c[0];
    }
}

TEST(Autostart, AFolderThatCannotBeMadeIsAFailure)
{
    test::TempStore store;
    QFile blocker(store.root() + q("/config/autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    EXPECT_THROW(setStartAtLogin(true), Failure);
    EXPECT_FALSE(startsAtLogin());
}

} // namespace
