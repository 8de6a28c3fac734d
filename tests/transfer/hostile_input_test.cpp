// Hostile names and awkward entries go through copy, move and the log without harm: files
// arrive byte for byte under their own names, records keep their lines and fields, a file is
// never copied onto itself, and a source that turns into something else is left alone.

#include "platform/raw_file.h"
#include "settings/entry_list.h"
#include "settings/store.h"
#include "support/temp_store.h"
#include "support/test_support.h"
#include "transfer/transfer_log.h"

#include <QDir>

#include <functional>

using namespace quillfen;
using namespace quillfen::test;

namespace {

struct HostileName
{
    QByteArray raw; // the name on disk
    const char *logged; // how the log shows it
};

const HostileName Names[]
    = {{"quote\"d 'name'.dat", "quote\"d 'name'.dat"}, {"semi;colon.dat", "semi;colon.dat"},
        {"$(touch INJECTED).dat", "$(touch INJECTED).dat"}, {"new\nline.dat", "new\\nline.dat"},
        {"carriage\rreturn.dat", "carriage\\rreturn.dat"}, {"tab\tname.dat", "tab\\tname.dat"},
        {"ctl\x01\x1b\x7f.dat", "ctl\\x01\\x1B\\x7F.dat"}, {"--help", "--help"}, {"what?.dat", "what?.dat"},
        {"back\\slash.dat", "back\\\\slash.dat"}, {" blanks .dat ", " blanks .dat "},
        {"bad\xff\xfe.dat", "bad\\xFF\\xFE.dat"}, {"caf\xc3\xa9.dat", "caf\xc3\xa9.dat"},
        {"cafe\xcc\x81.dat", "cafe\xcc\x81.dat"}, {QByteArray(251, 'x') + ".dat", nullptr}};

class HostileInput : public ::testing::Test
{
protected:
    HostileInput() { store.set(keys::CompareInterval, "0"); }

    void storeEntries(const QList<std::tuple<QString, QString, QString, const char *>> &entries)
    {
        EntryList list;
        for (const auto &[file, source, dest, move] : entries)
            list.append(file, source, dest, q(move));
        sc_AddFiles(list);
    }
    static QString nameOf(const HostileName &name) { return nameFromNative(name.raw); }
    static QByteArray contentOf(const HostileName &name) { return "content of " + name.raw; }
    static QString log() { return QString::fromUtf8(readBytes(logFilePath())); }
    static QStringList names(const QString &folder)
    {
        QStringList found;
        raw_file::FolderReader reader(nativePath(folder));
        while (const dirent *entry = reader.next()) {
            if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
                found << nameFromNative(entry->d_name);
        }
        found.sort();
        return found;
    }

    TempStore store;
    ScriptedMessageBoxes boxes;
    RunRecorder recorder;
};

TEST_F(HostileInput, NamesArriveByteForByteAndTheLogKeepsItsLinesAndFields)
{
    const QString src = store.scratch("src"), copies = store.scratch("copies"),
                  moved = store.scratch("moved"), singles = store.scratch("singles");
    QStringList all;
    for (const HostileName &name : Names) {
        writeBytes(src + nameOf(name), contentOf(name));
        all << nameOf(name);
    }
    all.sort();
    // Pattern entries take every name; single entries those that are text.
    storeEntries({{"*", src, copies, "0"}, {nameOf(Names[0]), src, singles, "0"},
        {nameOf(Names[12]), src, singles, "1"}, {"*", src, moved, "1"}});
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);

    EXPECT_TRUE(boxes.shown().isEmpty()) << qPrintable(boxes.texts().join('|'));
    EXPECT_EQ(names(copies), all);
    EXPECT_EQ(names(singles), QStringList({nameOf(Names[12]), nameOf(Names[0])}));
    EXPECT_EQ(names(moved).size(), all.size() - 1);
    EXPECT_TRUE(names(src).isEmpty());
    const QString text = log();
    for (const HostileName &name : Names) {
        EXPECT_EQ(readBytes(copies + nameOf(name)), contentOf(name)) << name.raw.toHex().constData();
        if (name.logged) {
            EXPECT_TRUE(text.contains("\tFrom: \t" + src + q(name.logged) + "\r\n")) << name.logged;
        }
    }
    // CR and LF come only as the records' line ends, TABs only where the records put them.
    QString lines = text;
    EXPECT_FALSE(lines.remove("\r\n").contains('\r') || lines.contains('\n'));
    for (const QString &line : text.split("\r\n")) {
        const int tabs = line.startsWith("\tFrom: \t")                 ? 2
            : line.startsWith("\tTo:   ") || line.startsWith("Begin ") ? 1
                                                                       : -1;
        if (tabs >= 0) {
            EXPECT_EQ(line.count('\t'), tabs) << qPrintable(line);
        }
    }
    // The message area is shown the records the file holds.
    ASSERT_EQ(recorder.records.size(), 2 * (2 * all.size() + 1));
    for (const QString &record : recorder.records)
        EXPECT_TRUE(text.contains(record)) << qPrintable(record);
    for (const QString &where : {QDir::currentPath(), store.root(), QDir::homePath()})
        EXPECT_FALSE(QFile::exists(where + "/INJECTED")) << "something ran in a shell";
}

TEST_F(HostileInput, AFileIsNeverCopiedOrMovedOntoItself)
{
    const QString src = store.scratch("same");
    const std::pair<const char *, std::function<QString()>> dests[]
        = {{"the same folder text", [&] { return src; }}, {"./ in the folder", [&] { return src + "./"; }},
            {"../ in the folder", [&] { return src + "../same/"; }},
            {"a linked folder", [&] {
                 QFile::link(src.chopped(1), src.chopped(1) + "-link");
                 return src.chopped(1) + "-link/";
             }}};
    for (const auto &[what, dest] : dests) {
        for (const char *file : {"one.dat", "*.dat"}) {
            for (const char *move : {"0", "1"}) {
                SCOPED_TRACE(std::string(what) + file + move);
                boxes.clear();
                writeBytes(src + "one.dat", "precious");
                storeEntries({{q(file), src, dest(), move}});
                ASSERT_EQ(failureOf(sc_TransferFiles), 0);
                EXPECT_EQ(readBytes(src + "one.dat"), "precious");
                EXPECT_EQ(names(src), QStringList {"one.dat"});
                EXPECT_EQ(boxes.texts(), QStringList {"Error: Permission denied (70)"});
            }
        }
    }
    EXPECT_TRUE(log().contains("Move File  failed: Error Number: 70  Error: Permission denied\t"));
}

TEST_F(HostileInput, ADestinationInsideThePatternsSourceTakesEachFileOnce)
{
    for (const char *move : {"0", "1"}) {
        const QString src = store.scratch(QStringLiteral("inside%1").arg(move)), dest = src + "sub/";
        for (const char *name : {"a.txt", "b.txt"})
            writeBytes(src + name, name);
        storeEntries({{"*", src, dest, move}});
        ASSERT_EQ(failureOf(sc_TransferFiles), 0);
        ASSERT_EQ(failureOf(sc_TransferFiles), 0) << "the second run finds the folder and leaves it";
        EXPECT_EQ(names(dest), QStringList({"a.txt", "b.txt"}));
        EXPECT_EQ(names(src), q(move) == "1" ? QStringList {"sub"} : QStringList({"a.txt", "b.txt", "sub"}));
    }
}

TEST_F(HostileInput, ASourceReplacedAfterTheListingIsNeverTouched)
{
    const std::tuple<const char *, std::function<void(const QByteArray &)>, int> rows[]
        = {{"by a folder", [](const QByteArray &path) { ::mkdir(path.constData(), 0755); }, 0},
            {"by a pipe", [](const QByteArray &path) { ::mkfifo(path.constData(), 0644); }, 0},
            {"by nothing", [](const QByteArray &) {}, failure_no::FileNotFound},
            {"by a dangling link", [](const QByteArray &path) { ::symlink("nowhere", path.constData()); },
                failure_no::FileNotFound}};
    int round = 0;
    for (const auto &[what, replace, endsRun] : rows) {
        for (const char *move : {"0", "1"}) {
            SCOPED_TRACE(std::string(what) + move);
            boxes.clear();
            const QString src = store.scratch(QStringLiteral("r%1").arg(++round)), dest = src + "dest/";
            for (const char *name : {"a.dat", "b.dat", "c.dat"})
                writeBytes(src + name, name);
            storeEntries({{"*.dat", src, dest, move}});
            recorder.onStart = [&, replace = replace](const QString &path) {
                if (path.endsWith("/b.dat")) {
                    ::unlink(nativePath(path).constData());
                    replace(nativePath(path));
                }
            };
            EXPECT_EQ(failureOf(sc_TransferFiles), endsRun);
            sc_ClosePendingRun();
            recorder.onStart = nullptr;
            EXPECT_EQ(readBytes(dest + "a.dat"), "a.dat");
            EXPECT_FALSE(present(dest + "b.dat"));
            EXPECT_EQ(present(dest + "c.dat"), endsRun == 0);
            EXPECT_EQ(boxes.texts(),
                endsRun ? QStringList()
                        : QStringList {"Error: Path/File access error: not a plain file (75)"});
        }
    }
}

} // namespace
