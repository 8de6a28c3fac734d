#include "options/settings_file.h"

#include "platform/host.h"
#include "settings/store.h"
#include "support/read_only_folder.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

const QByteArray Box = "#------------------------------------------------------------#\r\n";
const QString ImportQuestion = QStringLiteral("WARNING: An imporperly formatted settings file can \r\n"
                                              "cause unexpected and perhaps disasterous results. \r\n"
                                              "\r\n"
                                              "Are you sure you want to import the settings?");

class SettingsFile : public ::testing::Test
{
protected:
    QString path() const { return m_store.appFolder() + QStringLiteral("/Quillfen.txt"); }

    QByteArray fileBytes() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeFile(const QByteArray &bytes) const
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    void import(MsgAnswer answer)
    {
        m_boxes.answerNext(answer);
        sc_ImportSettings();
    }

    void storeTwoEntries()
    {
        const char *pairs[][2] = {{"sc_Files", "2"}, {"Timer", "15"}, {"AutoStart", "1"},
            {"sc_DefaultFileExt", "  *.log  "}, {"sc_CompareInterval", "2"}, {"sc_CompareIntType", "d"},
            {"sc_lastSource", "/in"}, {"sc_lastDestination", "/out"}, {"sc_File1", "*.txt"},
            {"sc_Path1", " /in/"}, {"sc_Dest1", "/out/"}, {"sc_Move1", "0"},
            {"sc_File2", "Gr\u00f6\u00dfe.doc"}, {"sc_Path2", "/a b/"}, {"sc_Dest2", "/c/\td/"},
            {"sc_Move2", "1"}, {"sc_File3", "beyond the count"}};
        for (const auto &[key, value] : pairs)
            m_store.set(QString::fromUtf8(key), QString::fromUtf8(value));
    }

    test::TempStore m_store;
    test::ScriptedMessageBoxes m_boxes;
};

TEST_F(SettingsFile, ExportWritesTwoEntriesByteForByteAndSaysWhere)
{
    storeTwoEntries();
    sc_ExportSettings();

    QList<QByteArray> lines = fileBytes().split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(
        lines[3].startsWith("# Created ") && lines[3].endsWith(" on " + host::computerName().toUtf8() + "\r"))
        << lines[3].constData();
    lines[3] = "# Created <masked>\r";
    EXPECT_EQ(lines.join('\n'),
        Box + "# This file was created by Marivale Quillfen       #\r\n" + Box + "# Created <masked>\r\n"
            + Box
            + "sc_Files\t2\r\nTimer\t15\r\nAutoStart\t1\r\nsc_DefaultFileExt\t  *.log  \r\n"
              "sc_CompareInterval\t2\r\nsc_CompareIntType\td\r\nsc_lastSource\t/in\r\nsc_lastDestination\t/"
              "out\r\n"
              "sc_File1\t*.txt\r\nsc_Path1\t /in/\r\nsc_Dest1\t/out/\r\nsc_Move1\t0\r\n"
              "sc_File2\tGr\xC3\xB6\xC3\x9F"
              "e.doc\r\nsc_Path2\t/a b/\r\nsc_Dest2\t/c/\td/\r\nsc_Move2\t1\r\n"
            + Box);

    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.shown().first().text, QStringLiteral("Settings exported to \r\n") + path());
    EXPECT_EQ(m_boxes.shown().first().title, QStringLiteral("Complete"));
    EXPECT_EQ(m_boxes.shown().first().icon, MsgIcon::Information);
}

TEST_F(SettingsFile, ExportThenImportKeepsEveryValueButSurroundingBlanks)
{
    storeTwoEntries();
    store::remove(QStringLiteral("AppSettings"), QStringLiteral("Timer"));
    sc_ExportSettings();
    EXPECT_TRUE(fileBytes().contains("\r\nTimer\t\r\n")) << "a missing key is its name and a tab";
    const QStringList keys = {"sc_Files", "AutoStart", "sc_DefaultFileExt", "sc_CompareInterval",
        "sc_CompareIntType", "sc_lastSource", "sc_lastDestination", "sc_File1", "sc_Path1", "sc_Dest1",
        "sc_Move1", "sc_File2", "sc_Path2", "sc_Dest2", "sc_Move2"};
    QStringList exported;
    for (const QString &key : keys) {
        exported.append(m_store.value(key));
        m_store.set(key, QStringLiteral("changed"));
    }

    import(MsgAnswer::Yes);
    exported[keys.indexOf("sc_DefaultFileExt")] = QStringLiteral("*.log");
    exported[keys.indexOf("sc_Path1")] = QStringLiteral("/in/");
    for (int i = 0; i < keys.size(); ++i)
        EXPECT_EQ(m_store.value(keys[i]), exported[i]) << qPrintable(keys[i]);
    EXPECT_TRUE(m_store.has(QStringLiteral("Timer")));
    EXPECT_EQ(m_store.value(QStringLiteral("Timer")), QString());
    EXPECT_EQ(m_store.value(QStringLiteral("sc_File3")), QStringLiteral("beyond the count"));
}

struct ImportCase
{
    const char *name;
    MsgAnswer answer;
    QByteArray file;
    QString timer; // Timer afterwards; it was "10"
    QString autoStart; // AutoStart afterwards; it was "0"

    friend void PrintTo(const ImportCase &c, std::ostream *os) { *os << c.name; }
};

class ImportLines : public SettingsFile, public ::testing::WithParamInterface<ImportCase>
{
};

TEST_P(ImportLines, StoresWhatTheFileNames)
{
    const ImportCase &c = GetParam();
    m_store.set(QStringLiteral("Timer"), QStringLiteral("10"));
    m_store.set(QStringLiteral("AutoStart"), QStringLiteral("0"));
    writeFile(c.file);

    import(c.answer);
    EXPECT_EQ(m_store.value(QStringLiteral("Timer")), c.timer);
    EXPECT_EQ(m_store.value(QStringLiteral("AutoStart")), c.autoStart);
    ASSERT_EQ(m_boxes.shown().size(), 1) << "the question alone";
    EXPECT_EQ(m_boxes.shown().first().text, ImportQuestion);
    EXPECT_EQ(m_boxes.shown().first().title, QStringLiteral("Continue?"));
    EXPECT_EQ(m_boxes.shown().first().icon, MsgIcon::Exclamation);
}

INSTANTIATE_TEST_SUITE_P(Rows, ImportLines,
    ::testing::Values(ImportCase {"AnsweredNo", MsgAnswer::No, "Timer\t15\r\nAutoStart\t1\r\n", "10", "0"},
        ImportCase {"BlanksTrimmed", MsgAnswer::Yes, "Timer\t 15 \r\n", "15", "0"},
        ImportCase {"CommentIgnored", MsgAnswer::Yes, "#Timer\t15\r\n", "10", "0"},
        ImportCase {"NoTabIgnored", MsgAnswer::Yes, "Timer 15\r\n", "10", "0"},
        ImportCase {"LaterLineWins", MsgAnswer::Yes, "Timer\t15\r\nTimer\t20\r\n", "20", "0"},
        ImportCase {"CarriageReturnsOnly", MsgAnswer::Yes, "Timer\t15\rAutoStart\t1\r", "15", "1"},
        ImportCase {"ValuesNotChecked", MsgAnswer::Yes, "Timer\tsoon\r\nAutoStart\t\r\n", "soon", ""},
        ImportCase {"KeyWithSlashIgnored", MsgAnswer::Yes, "Timer/\t99\r\n/\t1\r\n", "10", "0"}),
    [](const ::testing::TestParamInfo<ImportCase> &info) { return std::string(info.param.name); });

TEST_F(SettingsFile, ImportOfMissingFileWritesNothingAndSaysWhy)
{
    m_store.set(QStringLiteral("Timer"), QStringLiteral("10"));
    QFile storeFile(store::filePath());
    ASSERT_TRUE(storeFile.open(QIODevice::ReadOnly));
    const QByteArray before = storeFile.readAll();
    storeFile.close();

    import(MsgAnswer::Yes);
    ASSERT_TRUE(storeFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(storeFile.readAll(), before);
    ASSERT_EQ(m_boxes.shown().size(), 2);
    EXPECT_EQ(m_boxes.shown().at(1).text,
        QStringLiteral("The settings could not be imported from \r\n") + path()
            + QStringLiteral("\r\n\r\nError File not found (53)"));
    EXPECT_EQ(m_boxes.shown().at(1).title, QStringLiteral("Error 53"));
}

TEST_F(SettingsFile, ExportIntoReadOnlyFolderSaysWhyAndKeepsTheOldFile)
{
    writeFile("old\r\n");
    {
        test::ReadOnlyFolder readOnly(m_store.appFolder());
        if (!readOnly.active())
            GTEST_SKIP() << "the folder cannot be made read-only here";
        sc_ExportSettings();
    }
    EXPECT_EQ(fileBytes(), QByteArray("old\r\n"));
    EXPECT_EQ(QDir(m_store.appFolder()).entryList(QDir::Files | QDir::Hidden), QStringList {"Quillfen.txt"});
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.shown().first().text,
        QStringLiteral("The settings could not be exported to \r\n") + path()
            + QStringLiteral("\r\n\r\nError Permission denied (70)"));
    EXPECT_EQ(m_boxes.shown().first().title, QStringLiteral("Error 70"));
    EXPECT_EQ(m_boxes.shown().first().icon, MsgIcon::Critical);
}

} // namespace
