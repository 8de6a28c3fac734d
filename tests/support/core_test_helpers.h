#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <gtest/gtest.h>

#include <ostream>

#include <unistd.h>

// Readable failure messages for texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace quillfen::test {

inline QString q(const char *text)
{
    return QString::fromUtf8(text);
}

// Creates each entry below `root`: a name ending in "/" is a folder, "name->target" a link.
inline void makeTree(const QString &root, const QStringList &entries)
{
    for (const QString &text : entries) {
        if (text.contains(q("->"))) {
            const QStringList parts = text.split(q("->"));
            ASSERT_EQ(::symlink(parts[1].toUtf8().constData(), (root + parts[0]).toUtf8().constData()), 0);
        } else if (text.endsWith(QLatin1Char('/'))) {
            ASSERT_TRUE(QDir().mkpath(root + text));
        } else {
            QDir().mkpath(QFileInfo(root + text).absolutePath());
            QFile file(root + text);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
}

} // namespace quillfen::test
