#include "dialogs/frmAbout.h"
#include "dialogs/registry.h"
#include "platform/host.h"
#include "support/scripted_message_boxes.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace quillfen;
using registry::LocalMachine;
using registry::TableRegistry;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

const QString ToolKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString FolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString Unavailable = QStringLiteral("System Information Is Unavailable At This Time");

TEST(AboutBox, ShowsTheApplicationInformation)
{
    frmAbout about;
    struct Row
    {
        const char *name;
        const char *text;
    };
    for (const Row &row : {Row {"lblTitle", "Quillfen"}, Row {"lblVersion", "Version 1.2.2"},
             Row {"lblDescription", "Scheduled file mover and copier"},
             Row {"lblCreated", "Created by Marivale\r\nCopyright \u00a9 2026 Marivale"}}) {
        const auto *label = about.findChild<QLabel *>(QLatin1String(row.name));
        ASSERT_NE(label, nullptr) << row.name;
        EXPECT_EQ(label->text(), QString::fromUtf8(row.text)) << row.name;
    }
    EXPECT_TRUE(about.findChild<QLabel *>(QStringLiteral("lblTitle"))->font().bold());
    EXPECT_NE(about.findChild<QWidget *>(QStringLiteral("picIcon")), nullptr);
    EXPECT_NE(about.findChild<QWidget *>(QStringLiteral("Line1")), nullptr);
    EXPECT_EQ(about.findChild<QPushButton *>(QStringLiteral("cmdSysInfo"))->text(),
        QStringLiteral("&System Info..."));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());

    const QString title = about.windowTitle();
    about.show();
    EXPECT_EQ(about.windowTitle(), title);
    about.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

// A registry value: type and raw bytes.
struct Stored
{
    quint32 type;
    QByteArray data;
};

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        table = std::make_shared<TableRegistry>();
        registry::setCurrent(table);
        host::setProgramStarter([this](const QString &program, const QStringList &) {
            started.append(program);
            // As the host does: only a program file can be started.
            return QFileInfo(program).isFile();
        });
    }
    void TearDown() override
    {
        registry::setCurrent(nullptr);
        host::setProgramStarter({});
    }

    std::shared_ptr<TableRegistry> table;
    QStringList started;
    QTemporaryDir folder;
};

struct ReadCase
{
    const char *name;
    std::optional<Stored> stored;
    bool denied;
    bool found;
    const char *value;
};

class KeyValue : public RegistryTest, public ::testing::WithParamInterface<ReadCase>
{
};

TEST_P(KeyValue, ReadsTextAndNumbersAndClosesTheKeyOnEveryPath)
{
    const ReadCase &c = GetParam();
    if (c.stored)
        table->setValue(LocalMachine, ToolKey, QStringLiteral("PATH"), c.stored->type, c.stored->data);
    if (c.denied)
        table->denyWrites(LocalMachine, ToolKey);
    QString value = QStringLiteral("as given");
    EXPECT_EQ(GetKeyValue(LocalMachine, ToolKey, QStringLiteral("PATH"), value), c.found) << c.name;
    EXPECT_EQ(value, QString::fromUtf8(c.value)) << c.name;
    EXPECT_EQ(table->closeCalls(), 1) << c.name;
    EXPECT_EQ(table->openHandles(), 0) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Values, KeyValue,
    ::testing::Values(
        ReadCase {"text", Stored {registry::TypeString, "/opt/tool\0junk"}, false, true, "/opt/tool"},
        ReadCase {"number", Stored {registry::TypeNumber, QByteArray("\x2a\x01\0\0", 4)}, false, true, "298"},
        ReadCase {"other type", Stored {registry::TypeExpandString, "%TOOL%"}, false, true, "as given"},
        ReadCase {"missing value", std::nullopt, false, false, ""},
        ReadCase {
            "longer than the buffer", Stored {registry::TypeString, QByteArray(1025, 'x')}, false, false, ""},
        ReadCase {"rights refused", Stored {registry::TypeString, "/opt/tool"}, true, false, ""}));

struct ToolCase
{
    const char *name;
    enum Key1 { Absent, ExistingTool, MissingTool, ExpandString } key1;
    bool key2;
    bool toolInFolder;
    const char *attempt; // the program started, in the test folder; "-": an empty path; nullptr: none
    bool available;
};

class SystemInformation : public RegistryTest, public ::testing::WithParamInterface<ToolCase>
{
};

TEST_P(SystemInformation, StartsTheToolOrSaysItIsUnavailable)
{
    const ToolCase &c = GetParam();
    test::ScriptedMessageBoxes boxes;
    const QString in = folder.path() + QLatin1Char('/');
    QFile(in + QStringLiteral("sysinfo")).open(QIODevice::WriteOnly);
    if (c.toolInFolder)
        QFile(in + QStringLiteral("MSINFO32.EXE")).open(QIODevice::WriteOnly);
    switch (c.key1) {
    case ToolCase::Absent:
        break;
    case ToolCase::ExistingTool:
        table->setText(LocalMachine, ToolKey, QStringLiteral("PATH"), in + QStringLiteral("sysinfo"));
        break;
    case ToolCase::MissingTool:
        table->setText(LocalMachine, ToolKey, QStringLiteral("PATH"), in + QStringLiteral("nothing"));
        break;
    case ToolCase::ExpandString:
        table->setValue(LocalMachine, ToolKey, QStringLiteral("PATH"), registry::TypeExpandString, "%TOOL%");
        break;
    }
    if (c.key2)
        table->setText(LocalMachine, FolderKey, QStringLiteral("MSINFO"), folder.path());

    frmAbout about;
    about.cmdSysInfo_Click();

    QStringList expected;
    if (c.attempt)
        expected.append(qstrcmp(c.attempt, "-") == 0 ? QString() : in + QLatin1String(c.attempt));
    EXPECT_EQ(started, expected) << c.name;
    if (c.available) {
        EXPECT_TRUE(boxes.shown().isEmpty()) << c.name;
    } else {
        ASSERT_EQ(boxes.shown().size(), 1) << c.name;
        EXPECT_EQ(boxes.shown().first().text, Unavailable);
        EXPECT_EQ(boxes.shown().first().title, QStringLiteral("Quillfen"));
        EXPECT_EQ(boxes.shown().first().icon, MsgIcon::None);
        EXPECT_EQ(boxes.shown().first().buttons, MsgButtons::Ok);
    }
    // A key-1 value, even one that cannot be started, means the folder key is never read.
    EXPECT_EQ(table->keysOpened().contains(FolderKey), c.key1 == ToolCase::Absent) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Registry, SystemInformation,
    ::testing::Values(ToolCase {"key 1 names the tool", ToolCase::ExistingTool, true, true, "sysinfo", true},
        ToolCase {"key 1 names no file", ToolCase::MissingTool, true, true, "nothing", false},
        ToolCase {"key 1 of another type", ToolCase::ExpandString, true, true, "-", false},
        ToolCase {"key 2 folder holds the tool", ToolCase::Absent, true, true, "MSINFO32.EXE", true},
        ToolCase {"key 2 folder without the tool", ToolCase::Absent, true, false, nullptr, false},
        ToolCase {"both keys absent", ToolCase::Absent, false, false, nullptr, false}));

} // namespace
