#include "options/settings_file.h"

#include "platform/host.h"
#include "settings/store.h"
#include "support/qt_test_helpers.h"
#include "support/read_only_folder.h"
#include "support/temp_store.h"

using namespace quillfen;

namespace {

const QByteArray Box = "#------------------------------------------------------------#\r\n";

class SettingsFile : public ::testing::Test
{
protected:
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeFile(const QByteArray &bytes) const
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    void import(MsgAnswer answer)
    {
        boxes.answerNext(answer);
        sc_ImportSettings();
    }

    test::TempStore store;
    test::ScriptedMessageBoxes boxes;
    const QString path = store.appFolder() + "/Quillfen.txt";
    // Two entries and one key beyond the count; blanks around values and a tab inside one.
    const QList<std::pair<QString, QString>> stored = {{"sc_Files", "2"}, {"Timer", "15"}, {"AutoStart", "1"},
        {"sc_DefaultFileExt", "  *.log  "}, {"sc_CompareInterval", "2"}, {"sc_CompareIntType", "d"},
        {"sc_lastSource", "/in"}, {"sc_lastDestination", "/out"}, {"sc_File1", "*.txt"},
        {"sc_Path1", " /in/"}, {"sc_Dest1", "/out/"}, {"sc_Move1", "0"}, {"sc_File2", "Größe.doc"},
        {"sc_Path2", "/a b/"}, {"sc_Dest2", "/c/\td/"}, {"sc_Move2", "1"}, {"sc_File3", "beyond the count"}};
};

TEST_F(SettingsFile, ExportWritesTwoEntriesByteForByteAndSaysWhere)
{
    for (const auto &[key, value] : stored)
        store.set(key, value);
    sc_ExportSettings();

    QList<QByteArray> lines = contents(path).split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(
        lines[3].startsWith("# Created ") && lines[3].endsWith(" on " + host::computerName().toUtf8() + "\r"))
        << lines[3].constData();
    lines[3] = "# Created <masked>\r";
    EXPECT_EQ(lines.join('\n'),
        Box + "# This file was created by Marivale Quillfen       #\r\n" + Box + "# Created <masked>\r\n"
            + Box
            + "sc_Files\t2\r\nTimer\t15\r\nAutoStart\t1\r\nsc_DefaultFileExt\t  *.log  "
              "\r\nsc_CompareInterval\t2\r\n"
              "sc_CompareIntType\td\r\nsc_lastSource\t/in\r\nsc_lastDestination\t/out\r\n"
              "sc_File1\t*.txt\r\nsc_Path1\t /in/\r\nsc_Dest1\t/out/\r\nsc_Move1\t0\r\n"
              "sc_File2\tGr\xC3\xB6\xC3\x9F"
              "e.doc\r\nsc_Path2\t/a b/\r\nsc_Dest2\t/c/\td/\r\nsc_Move2\t1\r\n"
            + Box);
    EXPECT_EQ(test::boxesSeen(boxes),
        QStringList {"Complete | Settings exported to \r\n" + path + " | Information Ok"});
}

TEST_F(SettingsFile, ExportThenImportKeepsEveryValueButSurroundingBlanks)
{
    for (const auto &[key, value] : stored) {
        if (key != "Timer")
            store.set(key, value);
    }
    sc_ExportSettings();
    EXPECT_TRUE(contents(path).contains("\r\nTimer\t\r\n")) << "a missing key is its name and a tab";
    for (const auto &[key, value] : stored)
        store.set(key, "changed");

    import(MsgAnswer::Yes);
    for (const auto &[key, value] : stored) {
        const QString kept = key == "Timer" ? "" : key == "sc_File3" ? "changed" : value.trimmed();
        EXPECT_EQ(store.value(key), kept) << qPrintable(key);
    }
}

TEST_F(SettingsFile, ImportStoresWhatTheFileNames)
{
    struct Row
    {
        MsgAnswer answer;
        QByteArray file;
        const char *timer, *autoStart; // afterwards; they were "10" and "0"
    };
    const Row rows[] = {
        {MsgAnswer::No, "Timer\t15\r\nAutoStart\t1\r\n", "10", "0"},
        {MsgAnswer::Yes, "Timer\t 15 \r\n", "15", "0"},
        {MsgAnswer::Yes, "#Timer\t15\r\n", "10", "0"},
        {MsgAnswer::Yes, "Timer 15\r\n", "10", "0"},
        {MsgAnswer::Yes, "Timer\t15\r\nTimer\t20\r\n", "20", "0"},
        {MsgAnswer::Yes, "Timer\t15\rAutoStart\t1\r", "15", "1"},
        {MsgAnswer::Yes, "Timer\tsoon\r\nAutoStart\t\r\n", "soon", ""},
        {MsgAnswer::Yes, "Timer/\t99\r\n/\t1\r\n", "10", "0"},
    };
    for (const Row &c : rows) {
        store.set("Timer", "10");
        store.set("AutoStart", "0");
        writeFile(c.file);
        boxes.clear();
        import(c.answer);
        EXPECT_EQ(store.value("Timer"), c.timer) << c.file.constData();
        EXPECT_EQ(store.value("AutoStart"), c.autoStart) << c.file.constData();
        EXPECT_EQ(test::boxesSeen(boxes),
            QStringList {
                "Continue? | WARNING: An imporperly formatted settings file can \r\ncause unexpected and "
                "perhaps disasterous results. \r\n\r\nAre you sure you want to import the settings? | "
                "Exclamation YesNo"});
    }
}

TEST_F(SettingsFile, ImportOfAMissingFileOrAPipeWritesNothingAndSaysWhyAtOnce)
{
    store.set("Timer", "10");
    const QByteArray before = contents(store::filePath());
    const std::pair<std::function<void()>, QString> rows[] = {
        {[] {},
            "53 | The settings could not be imported from \r\n" + path + "\r\n\r\nError File not found (53)"},
        {[this] { ::mkfifo(QFile::encodeName(path).constData(), 0600); },
            "75 | The settings could not be imported from \r\n" + path
                + "\r\n\r\nError Path/File access error: not a plain file (75)"}};
    for (const auto &[make, box] : rows) {
        make();
        boxes.clear();
        import(MsgAnswer::Yes);
        EXPECT_EQ(contents(store::filePath()), before);
        ASSERT_EQ(boxes.shown().size(), 2);
        EXPECT_EQ(test::boxesSeen(boxes)[1], "Error " + box + " | Critical Ok");
    }
    // Nor does an export wait on it, or put a file in its place.
    boxes.clear();
    sc_ExportSettings();
    EXPECT_EQ(test::boxesSeen(boxes),
        QStringList {"Error 75 | The settings could not be exported to \r\n" + path
            + "\r\n\r\nError Path/File access error: not a plain file (75) | Critical Ok"});
}

TEST_F(SettingsFile, ExportIntoReadOnlyFolderSaysWhyAndKeepsTheOldFile)
{
    writeFile("old\r\n");
    {
        test::ReadOnlyFolder readOnly(store.appFolder());
        if (!readOnly.active())
            GTEST_SKIP() << "the folder cannot be made read-only here";
        sc_ExportSettings();
    }
    EXPECT_EQ(contents(path), "old\r\n");
    EXPECT_EQ(QDir(store.appFolder()).entryList(QDir::Files | QDir::Hidden), QStringList {"Quillfen.txt"});
    EXPECT_EQ(test::boxesSeen(boxes),
        QStringList {"Error 70 | The settings could not be exported to \r\n" + path
            + "\r\n\r\nError Permission denied (70) | Critical Ok"});
}

} // namespace
