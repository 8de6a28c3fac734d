#pragma once

// Making, linking, counting and removing the benchmark's files.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace bench {

constexpr qint64 MiB = qint64(1) << 20;

QByteArray native(const QString &path);
void makeFolder(const QString &path);
void removeTree(const QString &path);

// Writes `size` bytes that do not compress or deduplicate.
void makeFile(const QString &path, qint64 size);

// The names in `folder`, hidden ones left out, in the order the folder gives them.
QStringList namesIn(const QString &folder);
QStringList pathsIn(const QString &folder);

// Stops the benchmark unless `folder` holds `count` files.
void expectCount(const QString &folder, qsizetype count);

// A fresh folder holding hard links to every file of `pristine` (or to its first `count`
// names): a move consumes its source, and links make a new one without writing any data.
void linkAll(const QString &pristine, const QString &folder, qsizetype count = -1);

// "<base><stem>-<side>-<run>/"; the side is "q" for ours and "r" for the reference's.
QString runFolder(const QString &base, const char *stem, int run, const char *side);
QString runFolder(const QString &base, const char *stem, int run, bool ours);

// A note on standard error about a slow step.
void progress(const char *text);

} // namespace bench
