#include "transfer_tests.h"

#include "transfer/countdown.h"
#include "transfer/folder_walk.h"
#include "transfer/found_files_model.h"
#include "transfer/listing.h"

namespace quillfen::test {

using Listing = TransferTest;

TEST_F(Listing, PatternsPickVisibleFilesEachOnceInCaseIgnoringOrder)
{
    makeTree(src,
        {"A.TXT", "a.txt", "b.txt", "a.txt.bak", "noext", "abc", "ac", "mississippi", "café.txt", "ΣΟΦΙΑ.txt",
            "😀.txt", ".hidden.txt", "folder.txt/", "link.txt->b.txt", "dangling.txt->gone",
            "dirlink.txt->folder.txt"});
    ::mkfifo(nativePath(src + "pipe.txt").constData(), 0600);
    const char *const txt = "A.TXT a.txt b.txt café.txt link.txt ΣΟΦΙΑ.txt 😀.txt";
    const std::pair<const char *, const char *> rows[] = {{"*.txt", txt}, {"*.TXT;b*; A.txt", txt},
        {"*.*", "A.TXT a.txt a.txt.bak abc ac b.txt café.txt link.txt mississippi noext ΣΟΦΙΑ.txt 😀.txt"},
        {"a?c", "abc"}, {"ac.*", "ac"}, {"?.txt", "A.TXT a.txt b.txt 😀.txt"}, {"??.txt", ""},
        {"caf?.txt", "café.txt"}, {"σοφια.*;a?c", "abc ΣΟΦΙΑ.txt"}, {"m*iss*ppi", "mississippi"}, {";", ""}};
    for (const auto &[patterns, names] : rows)
        EXPECT_EQ(listMatchingFiles(src, q(patterns)).join(' '), q(names)) << patterns;
    for (const QString &folder : {src + "nowhere/", src + "b.txt/", QString()})
        EXPECT_EQ(failureOf([&] { listMatchingFiles(folder, "*"); }), failure_no::PathNotFound);
    ::chmod(nativePath(src).constData(), 0);
    WithoutRootOverride user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop the permission override";
    EXPECT_EQ(failureOf([&] { listMatchingFiles(src, "*"); }), failure_no::PermissionDenied);
}

TEST(FolderWalk, VisitsEachFolderOnceDeepestFirst)
{
    // Tree (the walk starts at A)|capacity|the carryOn call answering false|"entered>removed": a folder
    // removed on entering another|folders entered, the count after each folder's files, the end, the found.
    const char *const rows[]
        = {"A/a.txt A/zz.log A/.hidden.txt A/b/b.txt A/b/B2.TXT A/C/c.txt A/C/D/d.txt A/.h/x.txt A/b/E/ "
           "A/dangling->nowhere|9|0||A A/C A/C/D 1 2 A/b A/b/E 4 5 "
           "completed: A/C/D/d.txt A/C/c.txt A/b/b.txt A/b/B2.TXT A/a.txt",
            "A/a.txt A/B/b.txt A/B/up->.. A/self->. A/alias->B A/out->../X X/x.txt|9|0||"
            "A A/out 1 A/B 2 3 completed: A/out/x.txt A/B/b.txt A/a.txt",
            "A/s0/f.txt A/s1/f.txt A/s2/f.txt A/s3/f.txt|9|3||A A/s3 1 A/s2 cancelled: A/s3/f.txt",
            "A/a1.txt A/B/b1.txt A/C/D/d1.txt A/C/c1.txt A/C/c2.txt|2|0||"
            "A A/C A/C/D 1 list full: A/C/D/d1.txt A/C/c1.txt",
            "A/s0/f.txt A/s1/f.txt|9|0|A/s1>A/s0|A A/s1 1 failure 76: A/s1/f.txt", "A|9|0||failure 76:"};
    for (const char *row : rows) {
        SCOPED_TRACE(row);
        const QStringList c = q(row).split('|'), removed = c[3].split('>');
        TempStore store;
        const QString tree = store.scratch("tree");
        makeTree(tree, c[0].split(' '));
        FoundFilesModel found;
        found.setCapacity(c[1].toInt());
        QStringList seen;
        int carried = 0;
        const auto entered = [&](const QString &folder, const QStringList &) {
            seen << folder.mid(tree.size());
            if (seen.last() == removed.first())
                QDir(tree + removed.last()).removeRecursively();
        };
        const FolderWalk::Observer observer {entered, [&] { return ++carried != c[2].toInt(); },
            [&] { seen << QString::number(found.count()); }};
        try {
            const char *ends[] = {"completed:", "cancelled:", "list full:"};
            seen << ends[int(FolderWalk(found, observer).run(normalFolder(tree + "x/../A/"), "*.txt"))];
        } catch (const Failure &failure) {
            seen << q("failure %1:").arg(failure.number());
        }
        // Found paths reach the views only when published.
        EXPECT_EQ(found.rowCount(), 0);
        found.publish();
        for (int k = 0; k < found.rowCount(); ++k)
            seen << found.data(found.index(k)).toString().mid(tree.size());
        EXPECT_EQ(seen.join(' '), c[4]);
        found.clear();
        EXPECT_EQ(found.count() + found.rowCount(), 0);
    }
}

TEST(Countdown, ReadsItsSettingsCountsDownAndTheRunIsDueOnTheTickAfterZero)
{
    // Timer|AutoStart (empty: absent)|steps: '+' toggle down, '-' up, '.' tick, 'a' show auto-start, 'f' the
    // run is over|seconds left, phase, status, "due" once a tick made the run due, failures reported.
    const char *const rows[]
        = {"||a|10 Stopped Auto-Start Disabled", "abc|0|a|0 Stopped Auto-Start Disabled 13",
            "10|2|a|10 Stopped Auto-Start Enabled 5", "10|yes|a|10 Stopped Auto-Start Disabled 13",
            "10|0|+..........|0 Counting Started", "10|0|+...........|0 Running Running due",
            "0|0|+.f|0 Running Finished due", "-3|0|+.....|-8 Counting Started",
            "10|0|+...-.|10 Stopped Stopped", "10|0|+...-+.|9 Counting Started"};
    for (const char *row : rows) {
        SCOPED_TRACE(row);
        const QStringList c = q(row).split('|');
        TempStore store;
        for (const auto &[key, value] : {std::pair {keys::Timer, c[0]}, {keys::AutoStart, c[1]}})
            value.isEmpty() ? void() : store.set(key, value);
        Countdown countdown;
        const QList<Report> reports = countdown.readSettings();
        bool due = false;
        for (const QChar step : c[2]) {
            if (step == '+' || step == '-')
                countdown.setStarted(step == '+');
            due = (step == '.' && countdown.tick()) || due;
            step == 'a' ? countdown.showAutoStart() : step == 'f' ? countdown.finish() : void();
        }
        const char *phases[] = {"Stopped", "Counting", "Running"};
        QStringList seen
            = {QString::number(countdown.secondsLeft()), phases[int(countdown.phase())], countdown.status()};
        if (due)
            seen << "due";
        for (const Report &report : reports)
            seen << QString::number(report.failure.number()) + (report.where == "Main form load" ? "" : "?");
        EXPECT_EQ(seen.join(' '), c[3]);
    }
}

} // namespace quillfen::test
