#include "support/test_support.h"

#include "settings/store.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/preview.h"
#include "transfer/transfer_log.h"

#include <QDirIterator>

using namespace quillfen;
using namespace quillfen::test;
using Verdict = PreviewRow::Verdict;

namespace {

// Every path below `root` with its size and time: what a preview must leave as it is.
QStringList snapshot(const QString &root)
{
    QStringList seen;
    QDirIterator it(
        root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        seen << info.filePath() + q(" %1 %2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
    }
    seen.sort();
    return seen;
}

TEST(Preview, ShowsEachVerdictChangesNothingAndAgreesWithTheRunsLog)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString src = store.scratch("src"), dst = store.scratch("dst"), root = store.root();
    for (const char *name : {"old.txt", "rep.txt", "same.txt", "a.log", "b.log"})
        writeAged(src + name, name);
    writeAged(src + "new.txt", "new", -2);
    writeBytes(dst + "rep.txt", "older");
    ASSERT_EQ(::link(nativePath(src + "same.txt").constData(), nativePath(dst + "same.txt").constData()), 0);

    EntryList entries;
    const QString made = root + "/made/", noParent = root + "/no/parent/";
    const char *rows[][4] = {{"old.txt", "0", "", ""}, {"*.log", "1", "made", ""}, {"new.txt", "0", "", ""},
        {"rep.txt", "1", "", ""}, {"same.txt", "0", "", ""}, {"old.txt", "0", "noParent", ""},
        {"gone.txt", "0", "", ""}, {"old.txt", "0", "", ""}};
    for (const auto &row : rows) {
        const QString dest = q(row[2]) == "made" ? made : q(row[2]) == "noParent" ? noParent : dst;
        entries.append(q(row[0]), src, dest, q(row[1]));
    }
    const QStringList before = snapshot(root);

    QList<PreviewRow> shown;
    previewRun(
        entries, "1", "h", [&](const PreviewRow &row) { shown << row; }, [] { return true; });

    const QList<std::pair<Verdict, QString>> expected
        = {{Verdict::Copy, src + "old.txt"}, {Verdict::Move, src + "a.log"}, {Verdict::Move, src + "b.log"},
            {Verdict::TooNew, src + "new.txt"}, {Verdict::Replace, src + "rep.txt"},
            {Verdict::SameFile, src + "same.txt"}, {Verdict::NoFolder, src + "old.txt"},
            {Verdict::EndsRun, src + "gone.txt"}, {Verdict::NotReached, src + "old.txt"}};
    ASSERT_EQ(shown.size(), expected.size());
    for (int k = 0; k < shown.size(); ++k) {
        EXPECT_EQ(shown[k].verdict, expected[k].first) << k << " " << qPrintable(shown[k].reason);
        EXPECT_EQ(shown[k].source, expected[k].second) << k;
    }
    EXPECT_TRUE(shown[1].reason.endsWith("the destination folder would be created"))
        << qPrintable(shown[1].reason);
    EXPECT_FALSE(shown[2].reason.contains("folder")) << "a folder is made once";
    EXPECT_EQ(shown[3].reason, "Skipped by the date restriction: -48 h old, 1 needed");
    EXPECT_TRUE(shown[4].reason.startsWith("Would replace the existing file (5 bytes, "));
    EXPECT_EQ(shown[7].reason, "The run would end here: File not found (53)");
    EXPECT_EQ(snapshot(root), before);
    EXPECT_FALSE(present(store::filePath()));
    EXPECT_TRUE(boxes.shown().isEmpty());

    // The run, on the same entries, logs what the preview said for each file.
    store.set(keys::CompareInterval, "1");
    store.set(keys::CompareIntType, "h");
    sc_AddFiles(entries);
    EXPECT_EQ(failureOf(sc_TransferFiles), 53);
    sc_ClosePendingRun();
    const QString log = QString::fromUtf8(readBytes(logFilePath()));
    int begun = 0;
    for (const PreviewRow &row : shown) {
        const QString label = row.move ? "Move File " : "Copy File ";
        const QString outcome = row.verdict == Verdict::SameFile ? " failed: Error Number: 70"
            : row.verdict == Verdict::NoFolder                   ? " failed: Error Number: 76"
                                                                 : "successful";
        if (row.verdict <= Verdict::Replace || row.verdict == Verdict::SameFile
            || row.verdict == Verdict::NoFolder) {
            ++begun;
            EXPECT_TRUE(
                log.contains("From: \t" + row.source + "\r\n\tTo:   " + row.dest + "\r\n" + label + outcome))
                << qPrintable(row.source);
        }
        if (row.verdict == Verdict::TooNew) {
            EXPECT_TRUE(log.contains("\t" + row.source + "\r\nFile skipped"));
        }
    }
    EXPECT_EQ(log.count("Begin "), begun);
    EXPECT_EQ(log.count("cancelled"), 1);
}

TEST(Preview, EndsBeforeTheFirstEntryOnABadThresholdAndStopsWhenAsked)
{
    TempStore store;
    const QString src = store.scratch("src");
    writeAged(src + "a.txt", "a");
    writeAged(src + "b.txt", "b");
    EntryList entries;
    entries.append("*.txt", src, src + "out/", "2");
    entries.append("a.txt", src, src + "out/", "maybe");

    QList<PreviewRow> shown;
    const auto collect = [&](const PreviewRow &row) { shown << row; };
    previewRun(entries, "lots", "h", collect, [] { return true; });
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0].reason, "The run would end here: Type mismatch (13)");
    EXPECT_EQ(shown[1].verdict, Verdict::NotReached);

    shown.clear();
    previewRun(entries, "0", "h", collect, [] { return true; });
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[2].entry, 2);
    EXPECT_EQ(shown[2].reason, "The run would end here: Type mismatch (13)");

    shown.clear();
    previewRun(entries, "0", "h", collect, [&] { return shown.isEmpty(); });
    EXPECT_EQ(shown.size(), 1) << "stops at the next file once asked";
}

} // namespace
