// The fault suite's child: a transfer run ("run"), an undo of the last run ("undo"), new
// entry lists saved until it is killed ("save"), what a next start reads back and its first
// log record ("probe"), or the journal's files renumbered ("reidentify"), with the store and
// folders its environment names. Reports go to standard error as boxes would say them; an undo
// goes ahead without asking.
#include "platform/host.h"
#include "settings/entry_list.h"
#include "support/run_shim.h"
#include "transfer/journal.h"
#include "transfer/record_texts.h"
#include "transfer/transfer_log.h"
#include "transfer/transfer_run.h"
#include "transfer/undo.h"

#include <QCoreApplication>
#include <QHash>

#include <cstdio>

using namespace quillfen;

int main(int argc, char **argv)
{
    host::pinLocalTimeZone();
    QCoreApplication app(argc, argv);
    host::setApplicationFolderOverride(qEnvironmentVariable("QUILLFEN_APP_FOLDER"));
    const QByteArray job = argc > 1 ? QByteArray(argv[1]) : QByteArray("run");
    for (int generation = 1; job == "save"; ++generation) {
        EntryList list;
        for (int n = 1; n <= 1500 + (generation % 3) * 700; ++n)
            list.append(QStringLiteral("g%1-%2").arg(generation).arg(n), "/src/", "/dst/", "1");
        sc_AddFiles(list);
    }
    test::ReportBoxes quiet; // no boxes installed: each goes to standard error
    try {
        if (job == "probe") {
            JournalReader journal;
            std::printf("journal state\t%d\n", int(journal.state()));
            journal.rewind();
            QList<JournalEntry> entries; // read last step first, printed in the run's order
            for (JournalEntry entry; journal.previous(entry);)
                entries.prepend(entry);
            for (const JournalEntry &entry : entries)
                std::printf("journal\t%s\t%s\n", entry.source.constData(), entry.dest.constData());
            EntryList list;
            sc_GetFiles(list);
            std::printf("entries\t%d\t%s\t%s\n", list.count(), qUtf8Printable(list.files.value(0)),
                qUtf8Printable(list.files.value(list.count() - 1)));
            TransferLog().sc_WriteLog(record_texts::begin(record_texts::actionLabel(false),
                QStringLiteral("/"), QStringLiteral("probe"), host::nowText()));
        } else if (job == "reidentify") {
            // The journal's files under the numbers a crash state written anew gave them (lines
            // "device inode newDevice newInode changedSeconds changedNanoseconds" on standard
            // input), signed again; sizes and times stay as the run saw them.
            QHash<QPair<quint64, quint64>, FileIdentity> now;
            FileIdentity to;
            quint64 device = 0, inode = 0;
            while (std::scanf("%llu %llu %llu %llu %ld %ld", &device, &inode, &to.device, &to.inode,
                       &to.changed.tv_sec, &to.changed.tv_nsec)
                == 6)
                now.insert({device, inode}, to);
            JournalReader journal;
            if (journal.state() != JournalReader::State::Usable)
                return 0;
            journal.rewind();
            QList<JournalEntry> entries;
            for (JournalEntry entry; journal.previous(entry);)
                entries.prepend(entry);
            EntryList list;
            sc_GetFiles(list);
            JournalWriter writer(list);
            for (JournalEntry entry : entries) {
                for (FileIdentity *identity : {&entry.placed, &entry.kept}) {
                    to = now.value({identity->device, identity->inode}, *identity);
                    *identity = {to.device, to.inode, identity->size, identity->modified, to.changed};
                }
                writer.add(entry);
            }
        } else if (job == "undo") {
            Undo().perform(quiet);
        } else {
            TransferRun(quiet).sc_TransferFiles();
        }
    } catch (const Failure &failure) {
        std::fprintf(
            stderr, "Run ended: Error %s (%d)\n", qUtf8Printable(failure.description()), failure.number());
        return 3;
    } catch (const JournalReader::Changed &) {
        return 3;
    }
    return 0;
}
