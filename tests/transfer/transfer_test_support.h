#pragma once

// Helpers shared by the transfer tests: files with pinned times, a recorder for the
// progress interface, and a guard that takes away root's permission override.

#include "platform/failure.h"
#include "transfer/native_names.h"
#include "transfer/transfer_run.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdio>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

namespace quillfen::test {

inline QString q(const char *text)
{
    return QString::fromUtf8(text);
}
inline QString q(const QByteArray &text)
{
    return QString::fromUtf8(text);
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
    const QByteArray native = nativePath(path);
    FILE *f = std::fopen(native.constData(), "wb");
    ASSERT_NE(f, nullptr) << native.constData();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
    std::fclose(f);
}

inline QByteArray readBytes(const QString &path)
{
    const QByteArray native = nativePath(path);
    QByteArray bytes;
    if (FILE *f = std::fopen(native.constData(), "rb")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.append(buffer, qsizetype(got));
        std::fclose(f);
    }
    return bytes;
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
inline void writeAged(const QString &path, const QByteArray &bytes, int days)
{
    writeBytes(path, bytes);
    setModified(path, QDateTime::currentDateTime().addDays(-days));
}

// Leftover temporary files of a copy are hidden names in the destination folder.
inline QStringList hiddenEntries(const QString &folder)
{
    return QDir(folder)
        .entryList(QDir::Hidden | QDir::Files | QDir::System | QDir::NoDotAndDotDot)
        .filter(QRegularExpression(QStringLiteral("^\\.")));
}

// Date and time texts of the C locale ("12/05/26 19:57:33") replaced by "<now>".
inline QString maskTimes(QString text)
{
    static const QRegularExpression stamp(QStringLiteral("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d"));
    return text.replace(stamp, QStringLiteral("<now>"));
}

struct ProgressRecorder final : TransferProgress
{
    QStringList events;
    QList<QPair<qint64, qint64>> bytes;

    ProgressRecorder() { setTransferProgress(this); }
    ~ProgressRecorder() override { setTransferProgress(nullptr); }
    void filesPlanned(int count) override { events << QStringLiteral("planned %1").arg(count); }
    void fileStarted(const QString &path) override { events << QStringLiteral("started ") + path; }
    void bytesCopied(qint64 done, qint64 total) override { bytes.append({done, total}); }
    void fileFinished() override { events << QStringLiteral("finished"); }
};

// Root passes every permission check; for the length of a test this thread loses the
// capabilities that let it, so that folder permissions bite as they do for a user.
class WithoutRootOverride
{
public:
    WithoutRootOverride()
    {
        if (::geteuid() != 0) {
            m_active = true;
            return;
        }
        __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
        if (::syscall(SYS_capget, &header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        const unsigned mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
        reduced[0].effective &= ~mask;
        m_active = ::syscall(SYS_capset, &header, reduced) == 0;
        m_restore = m_active;
    }
    ~WithoutRootOverride()
    {
        if (m_restore) {
            __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
            ::syscall(SYS_capset, &header, m_saved);
        }
    }
    bool active() const { return m_active; }

private:
    __user_cap_data_struct m_saved[2] {};
    bool m_active = false;
    bool m_restore = false;
};

} // namespace quillfen::test
