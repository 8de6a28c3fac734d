#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// What the file system under a folder allows of the files written there: USB sticks and
// shares refuse names, fold case and cap file sizes where a Linux file system does none of it.
namespace quillfen::volume {

struct Rules
{
    // `: * ? " < > | \`, control characters, a trailing dot or space
    bool refusesWindowsNames = false;
    bool foldsCase = false; // "Case.txt" and "case.txt" are one name
    qint64 largestFile = 0; // in bytes; 0: no limit known
};

// The rules of the file system that holds `folder`, by its type: the kernel's, a FUSE file
// system's subtype, or the boot sector of the device or image a FUSE file system serves.
// A file system whose type cannot be told gets no rules; its own refusals are met as they come.
Rules rulesOf(const QByteArray &folder);

// Whether a file system with `rules` refuses the file name `name`.
bool refuses(const Rules &rules, QByteArrayView name);

} // namespace quillfen::volume
