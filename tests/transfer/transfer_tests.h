#pragma once

#include "support/test_support.h"
#include "transfer/file_routines.h"
#include "transfer/transfer_log.h"

#include <QSysInfo>

#include <clocale>

namespace quillfen::test {

// What a copy came to: "done", "no source folder", or its failure's number.
inline QString outcomeOf(const CopyResult &result)
{
    if (result.failure)
        return QString::number(result.failure->number());
    return result.done() ? "done" : "no source folder";
}

// A world of its own for each test, whose log times read in the C locale's form.
struct TransferTest : ::testing::Test
{
    TransferTest() { std::setlocale(LC_TIME, "C"); }
    ~TransferTest() override { sc_ClosePendingRun(); }

    static QString logText() { return maskTimes(QString::fromUtf8(readBytes(logFilePath()))); }
    static QString logHeaderText()
    {
        return "#------------------------------------------------------------#\r\n"
               "# This file was created by Marivale Quillfen       #\r\n"
               "#------------------------------------------------------------#\r\n# Created <now> on "
            + QSysInfo::machineHostName() + "\r\n\r\n\r\n\r\n";
    }

    TempStore store;
    ScriptedMessageBoxes boxes;
    RunRecorder recorder;
    const QString root = store.root() + "/", src = store.scratch("src");
};

} // namespace quillfen::test
