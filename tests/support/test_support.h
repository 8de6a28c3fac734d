#pragma once

// What every test shares, QtCore only.

#include "platform/failure.h"
#include "platform/native_names.h"
#include "settings/entry_list.h"
#include "support/read_only_folder.h"
#include "support/run_shim.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <utility>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
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

struct Entry
{
    QString file, source, dest, move;
};
inline void storeEntries(const QList<Entry> &entries)
{
    EntryList list;
    for (const auto &[file, source, dest, move] : entries)
        list.append(file, source, dest, move);
    sc_AddFiles(list);
}

// The number of the failure that `step` throws, 0 when it throws none.
template<typename Step>
int failureOf(Step step)
{
    try {
        step();
        return 0;
    } catch (const Failure &failure) {
        return failure.number();
    }
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    std::ofstream out(nativePath(path).toStdString(), std::ios::binary);
    ASSERT_TRUE(out.write(bytes.constData(), bytes.size())) << qPrintable(path);
}

// "<none>" when there is no file to read.
inline QByteArray readBytes(const QString &path)
{
    std::ifstream in(nativePath(path).toStdString(), std::ios::binary);
    return in ? QByteArray::fromStdString({std::istreambuf_iterator<char>(in), {}}) : QByteArray("<none>");
}

inline bool present(const QString &path)
{
    struct stat st = {};
    return ::lstat(nativePath(path).constData(), &st) == 0;
}

inline void setModified(const QString &path, const QDateTime &when)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    const timeval times[2] = {{time_t(ms / 1000), 0}, {time_t(ms / 1000), suseconds_t((ms % 1000) * 1000)}};
    ASSERT_EQ(::utimes(nativePath(path).constData(), times), 0) << qPrintable(path);
}

// A file whose modification time lies `days` before now (negative: in the future).
inline void writeAged(const QString &path, const QByteArray &bytes, int days = 2)
{
    writeBytes(path, bytes);
    setModified(path, QDateTime::currentDateTime().addDays(-days));
}

// Leftover temporary files of a copy would be hidden names in the destination folder.
inline QStringList hiddenEntries(const QString &folder)
{
    return QDir(folder).entryList({q(".*")}, QDir::Hidden | QDir::Files | QDir::System);
}

// Date and time texts of the C locale ("12/05/26 19:57:33") replaced by "<now>".
inline QString maskTimes(QString text)
{
    static const QRegularExpression stamp(q("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d"));
    return text.replace(stamp, q("<now>"));
}

// Root passes every permission check; for its lifetime this thread loses the capabilities
// that let it, so that permissions bite as they do for a user.
class WithoutRootOverride
{
public:
    WithoutRootOverride()
    {
        m_active = ::geteuid() != 0;
        if (m_active || ::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective
            &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        m_restore = m_active = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutRootOverride()
    {
        if (m_restore)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    bool active() const { return m_active; }

private:
    __user_cap_header_struct m_header {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] {};
    bool m_active = false, m_restore = false;
};

// Installs a stand-in through a setter that answers what it replaced, and puts that back.
template<auto set>
class Installed
{
public:
    template<typename T>
    explicit Installed(T &&value)
        : m_previous(set(std::forward<T>(value)))
    {
    }
    ~Installed() { set(std::move(m_previous)); }
    Installed(const Installed &) = delete;
    Installed &operator=(const Installed &) = delete;

private:
    decltype(set({})) m_previous;
};

} // namespace quillfen::test
