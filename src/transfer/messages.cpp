#include "messages.h"

#include "record_texts.h"

#include "platform/app_info.h"
#include "platform/native_names.h"

namespace quillfen::messages {

namespace {

using Tone = Message::Tone;
using Kind = UndoStep::Kind;

const QString CrLf = QStringLiteral("\r\n");

QString shown(const QByteArray &path)
{
    return record_texts::escapeName(nameFromNative(path));
}

QString failureWords(const Failure &failure)
{
    return failure.description() + QStringLiteral(" (") + QString::number(failure.number())
        + QLatin1Char(')');
}

// The steps undo would do apart from the files it leaves as they are, each under its heading.
QStringList listed(const UndoPlan &plan)
{
    QStringList done, left;
    for (const UndoStep &step : plan.listed) {
        QStringList &under = step.kind == Kind::LeaveAlone ? left : done;
        under.append(QStringLiteral("  ") + undoStep(step));
    }
    QStringList lines;
    if (!done.isEmpty())
        lines << QStringLiteral("To be undone, last file first:") << done;
    if (!left.isEmpty())
        lines << QStringLiteral("Left as it is:") << left;
    if (plan.steps > plan.listed.size())
        lines.append(QStringLiteral("\u2026 and %L1 more").arg(plan.steps - plan.listed.size()));
    return lines;
}

} // namespace

QString plainText(const Message &message)
{
    return message.details.isEmpty() ? message.text : message.text + CrLf + CrLf + message.details.join(CrLf);
}

Message report(const Report &report)
{
    const Failure &failure = report.failure;
    const QString number = QString::number(failure.number());
    const QString error = QStringLiteral("Error");
    switch (report.kind) {
    case Report::Kind::Place:
        return {error + QLatin1Char(' ') + failureWords(failure) + QStringLiteral(" on ") + report.where,
            error + QLatin1Char(' ') + number, Tone::Failure};
    case Report::Kind::CopyFailed:
        if (failure.number() == failure_no::PathNotFound)
            return {QStringLiteral("Error: ") + failureWords(failure) + CrLf + CrLf
                    + QStringLiteral("Check the path to ") + CrLf + report.where + CrLf
                    + QStringLiteral("You may need to create the file manually."),
                error, Tone::Failure};
        break;
    case Report::Kind::LookupFailed:
        if (failure.number() == failure_no::DeviceUnavailable)
            return {QStringLiteral("Error: ") + failureWords(failure) + CrLf + CrLf
                    + QStringLiteral("You do not currently have access to ") + CrLf + report.where,
                error, Tone::Failure};
        return {QStringLiteral("Error: ") + failureWords(failure), error + QLatin1Char(' ') + number,
            Tone::Failure};
    }
    return {QStringLiteral("Error: ") + failureWords(failure), error, Tone::Failure};
}

Message question(const QString &text)
{
    return {text, QStringLiteral("Continue?"), Tone::Confirm};
}

QString undoStep(const UndoStep &step)
{
    switch (step.kind) {
    case Kind::MoveBack:
        return QStringLiteral("Move back: ") + shown(step.from) + QStringLiteral(" to ") + shown(step.to);
    case Kind::RemoveCopy:
        return QStringLiteral("Remove the copy to the Trash: ") + shown(step.from);
    case Kind::RestoreReplaced:
        return QStringLiteral("Restore from the Trash: ") + shown(step.to);
    case Kind::LeaveAlone:
        break;
    }
    static const char *const Whys[] = {"Changed since the run", "Its source name is taken again",
        "The file it replaced is no longer in the Trash", "The file it replaced could not be kept",
        "Not in a folder of the run's entries", "The file it replaced is not in the Trash the run used"};
    return QLatin1String(Whys[int(step.why)]) + QStringLiteral(": ") + shown(step.from);
}

Message undoPlan(const UndoPlan &plan)
{
    const QString title = app_info::title();
    switch (plan.journal) {
    case UndoPlan::Journal::Unrecorded:
        return {QStringLiteral("The last run could not be recorded, so it cannot be undone: ")
                + failureWords(Failure(plan.unrecorded)) + QLatin1Char('.'),
            title, Tone::Warning};
    case UndoPlan::Journal::Broken:
        return {
            QStringLiteral("The journal of the last run fails its check: it was changed after the run, or "
                           "its key is gone. It is not used."),
            title, Tone::Warning};
    case UndoPlan::Journal::OtherVersion:
        return {QStringLiteral(
                    "The last run was recorded by another version of Quillfen, so it cannot be undone."),
            title, Tone::Warning};
    case UndoPlan::Journal::Busy:
        return {QStringLiteral("A transfer run or another undo is under way. Try again when it has ended."),
            title, Tone::Warning};
    case UndoPlan::Journal::Usable:
    case UndoPlan::Journal::Nothing:
        break;
    }
    if (plan.doable == 0)
        return {QStringLiteral("The last run left nothing to undo."), title, Tone::Notice, listed(plan)};
    Message asked = question(QStringLiteral("Undo the last run?"));
    asked.details = listed(plan);
    return asked;
}

Message undoDone(qint64 done, qint64 doable)
{
    return {QStringLiteral("The last run has been undone: %L1 of %L2 steps done.").arg(done).arg(doable),
        QStringLiteral("Complete"), Tone::Notice};
}

Message undoChangedMeanwhile()
{
    return {
        QStringLiteral("The journal of the last run changed while it was undone: the undo stopped there."),
        app_info::title(), Tone::Warning};
}

Message foreignAutostart(const QString &path, bool replace)
{
    return question(
        QStringLiteral("The start-at-login entry %1 was not written by Quillfen for this program.").arg(path)
        + CrLf + (replace ? QStringLiteral("It will be replaced.") : QStringLiteral("It will be removed.")));
}

Message foreignSchedule(const QString &folder, bool replace)
{
    return question(
        QStringLiteral("The daily run's timer or service in %1 was not written by Quillfen for this "
                       "program.")
            .arg(folder)
        + CrLf + (replace ? QStringLiteral("It will be replaced.") : QStringLiteral("It will be removed.")));
}

Message systemInformationUnavailable()
{
    return {QStringLiteral("System Information Is Unavailable At This Time"), app_info::title(), Tone::Plain};
}

Message settingsExported(const QString &path)
{
    return {QStringLiteral("Settings exported to ") + CrLf + path, QStringLiteral("Complete"), Tone::Notice};
}

Message settingsFileFailed(bool exporting, const QString &path, const Failure &failure)
{
    const QString what = exporting ? QStringLiteral("The settings could not be exported to ")
                                   : QStringLiteral("The settings could not be imported from ");
    return {what + CrLf + path + CrLf + CrLf + QStringLiteral("Error ") + failureWords(failure),
        QStringLiteral("Error ") + QString::number(failure.number()), Tone::Failure};
}

Message importQuestion()
{
    return question(QStringLiteral("WARNING: An imporperly formatted settings file can \r\n"
                                   "cause unexpected and perhaps disasterous results. \r\n"
                                   "\r\n"
                                   "Are you sure you want to import the settings?"));
}

Message clearQuestion()
{
    return question(QStringLiteral("Are you sure you want to clear all settings?"));
}

Message settingsCleared()
{
    return {QStringLiteral("All settings have been cleared.\r\n\r\n")
            + QString::fromUtf8(app_info::ProductName) + QStringLiteral(" will now terminate."),
        QStringLiteral("Complete"), Tone::Warning};
}

Message deleteLogQuestion()
{
    return {QStringLiteral("Delete the log file?"), QStringLiteral("Delete Log"), Tone::Question};
}

Message searchListFull()
{
    return {
        QStringLiteral("You've filled the list box. Abandoning search..."), app_info::title(), Tone::Plain};
}

Message searchFailed(const Failure &failure)
{
    return {failure.description(), app_info::title(), Tone::Plain};
}

QString runNotice(qint64 moved, qint64 copied, qint64 failed)
{
    return QStringLiteral("Quillfen: %L1 %2 moved, %L3 copied, %L4 failed")
        .arg(moved)
        .arg(moved == 1 ? QStringLiteral("file") : QStringLiteral("files"))
        .arg(copied)
        .arg(failed);
}

QString runSummary(qint64 done, qint64 failed, qint64 skipped, qint64 bytes)
{
    return QStringLiteral("%1 files done, %2 failed, %3 skipped; %4 bytes")
        .arg(done)
        .arg(failed)
        .arg(skipped)
        .arg(bytes);
}

Message nothingConfigured()
{
    return {QStringLiteral("No transfer entries are configured: open Quillfen's Options to add one."),
        app_info::title(), Tone::Warning};
}

} // namespace quillfen::messages
