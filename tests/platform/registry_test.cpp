#include "platform/host.h"
#include "platform/registry.h"
#include "support/test_support.h"
#include "support/scripted_message_boxes.h"

#include <QTemporaryDir>

#include <optional>

using namespace quillfen;
using registry::LocalMachine;
using test::q;

namespace {

const QString ToolKey = q("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString FolderKey = q("SOFTWARE\\Microsoft\\Shared Tools Location");

// Each row gets a fresh registry table and a folder holding a program file "sysinfo".
class Registry : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host::setProgramStarter([this](const QString &program, const QStringList &) {
            started.append(program);
            return QFileInfo(program).isFile(); // as the host: only a program file starts
        });
    }
    void TearDown() override
    {
        registry::setCurrent(nullptr);
        host::setProgramStarter({});
    }
    registry::TableRegistry &fresh()
    {
        table = std::make_shared<registry::TableRegistry>();
        registry::setCurrent(table);
        started.clear();
        return *table;
    }

    std::shared_ptr<registry::TableRegistry> table;
    QStringList started;
    QTemporaryDir folder;
    const QString in = folder.path() + q("/");
};

TEST_F(Registry, GetKeyValueReadsTextAndNumbersAndClosesTheKeyOnEveryPath)
{
    const struct
    {
        std::optional<quint32> type; // nullopt: no value stored
        QByteArray data;
        bool denied, found;
        const char *value;
    } rows[] = {{registry::TypeString, "/opt/tool", false, true, "/opt/tool"},
        {registry::TypeNumber, QByteArray("\x2a\x01\0\0", 4), false, true, "298"},
        {registry::TypeExpandString, "%TOOL%", false, true, "as given"}, {std::nullopt, {}, false, false, ""},
        {registry::TypeString, QByteArray(1025, 'x'), false, false, ""},
        {registry::TypeString, "/opt/tool", true, false, ""}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.data.left(20).constData());
        registry::TableRegistry &table = fresh();
        if (row.type)
            table.setValue(LocalMachine, ToolKey, q("PATH"), *row.type, row.data);
        if (row.denied)
            table.denyWrites(LocalMachine, ToolKey);
        QString value = q("as given");
        EXPECT_EQ(GetKeyValue(LocalMachine, ToolKey, q("PATH"), value), row.found);
        EXPECT_EQ(value, q(row.value));
        EXPECT_EQ(table.closeCalls(), 1);
        EXPECT_EQ(table.openHandles(), 0);
    }
}

TEST_F(Registry, SystemInfoStartsTheToolOrSaysItIsUnavailable)
{
    QFile(in + q("sysinfo")).open(QIODevice::WriteOnly);
    // key 1: "=name" a text naming a file in the folder, "%" a value of another type,
    // nullptr absent; key 2 names the folder; the tool file lies in it; the program started
    // ("": an empty path; nullptr: none).
    const struct
    {
        const char *key1;
        bool key2, toolInFolder;
        const char *attempt;
    } rows[] = {{"=sysinfo", true, true, "sysinfo"}, {"=nothing", true, true, "nothing"},
        {"%", true, true, ""}, {nullptr, true, true, "MSINFO32.EXE"}, {nullptr, true, false, nullptr},
        {nullptr, false, false, nullptr}};
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << (row.key1 ? row.key1 : "no key 1") << " key 2: " << row.key2);
        test::ScriptedMessageBoxes boxes;
        registry::TableRegistry &table = fresh();
        QFile::remove(in + q("MSINFO32.EXE"));
        if (row.toolInFolder)
            QFile(in + q("MSINFO32.EXE")).open(QIODevice::WriteOnly);
        if (row.key1 && row.key1[0] == '=')
            table.setText(LocalMachine, ToolKey, q("PATH"), in + q(row.key1 + 1));
        else if (row.key1)
            table.setValue(LocalMachine, ToolKey, q("PATH"), registry::TypeExpandString, "%TOOL%");
        if (row.key2)
            table.setText(LocalMachine, FolderKey, q("MSINFO"), folder.path());

        StartSysInfo();

        const bool available = row.attempt && QFileInfo(in + q(row.attempt)).isFile();
        EXPECT_EQ(started,
            row.attempt ? QStringList {*row.attempt ? in + q(row.attempt) : QString()} : QStringList());
        EXPECT_EQ(test::boxesSeen(boxes),
            available
                ? QStringList()
                : QStringList {q("Quillfen | System Information Is Unavailable At This Time | None Ok")});
        // A key-1 value, even one that cannot be started, means the folder key is never read.
        EXPECT_EQ(table.keysOpened().contains(FolderKey), !row.key1);
    }
}

} // namespace
