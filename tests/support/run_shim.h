#pragma once

#include "transfer/run_observer.h"

#include <QStringList>

#include <functional>

namespace quillfen::test {

// Shows each report in a box, as the window does.
struct ReportBoxes : RunObserver
{
    void report(const Report &report) override;
};

// Records what a run tells its observer; `onStart` runs as the run starts on a file. Watches
// the runs while it is the newest.
struct RunRecorder : ReportBoxes
{
    QStringList records, events;
    std::function<void(const QString &)> onStart;

    RunRecorder();
    ~RunRecorder() override;
    void putRecord(const QString &record) override { records.append(record); }
    void filesPlanned(int count) override { events << QStringLiteral("planned %1").arg(count); }
    void fileStarted(const QString &path) override
    {
        events << QStringLiteral("started ") + path;
        if (onStart)
            onStart(path);
    }
    void fileFinished(const FileEnd &) override { events << QStringLiteral("finished"); }

private:
    RunRecorder *m_previous;
};

// One run watched by the newest RunRecorder; a run that a failure ends stays open until
// sc_ClosePendingRun().
void sc_TransferFiles();
void sc_ClosePendingRun();

} // namespace quillfen::test
