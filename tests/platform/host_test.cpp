#include "platform/autostart.h"
#include "platform/host.h"
#include "platform/message_boxes.h"
#include "platform/raw_file.h"
#include "platform/registry.h"
#include "platform/trash.h"
#include "support/test_support.h"

#include <QCoreApplication>

#include <cerrno>
#include <clocale>

namespace quillfen::test {

TEST(Host, TellsFoldersFromPlainFiles)
{
    TempStore temp;
    const QString root = temp.scratch();
    makeTree(root, {"folder/", "plain.txt", ".hidden.txt", "link.txt->plain.txt", "dangling->gone"});
    writeBytes(root + nameFromNative("caf\xe9.txt"), "not UTF-8");
    ASSERT_EQ(::mkfifo(nativePath(root + "pipe").constData(), 0600), 0);
    const struct
    {
        const char *name; // in the scratch folder
        bool folder, file;
        int missing; // the failure of ENOENT there
    } lookups[] = {{"folder", 1, 0, 53}, {"folder/", 1, 0, 53}, {"plain.txt", 1, 1, 53},
        {"link.txt", 1, 1, 53}, {"caf\xe9.txt", 1, 1, 53}, {".hidden.txt", 1, 0, 53}, {"dangling", 0, 0, 53},
        {"pipe", 1, 0, 53}, {"folder//", 1, 0, 53}, {"missing/deeper/", 0, 0, 76}, {"plain.txt/", 0, 0, 53},
        {"plain.txt/inner.txt", 0, 0, 76}};
    for (const auto &[name, folder, file, missing] : lookups) {
        EXPECT_EQ(host::lookupFolder(root + nameFromNative(name)), folder) << name;
        EXPECT_EQ(host::lookupPlainFile(root + nameFromNative(name)), file) << name;
        EXPECT_EQ(Failure::fromErrno(ENOENT, root + nameFromNative(name)).number(), missing) << name;
    }
    EXPECT_EQ(failureOf([&] { host::lookupFolder(root + QString(5000, u'x')); }), 64);
    EXPECT_EQ(failureOf([&] { raw_file::readPlainFile(root + "pipe"); }), 75) << "at once";
}

TEST(Host, SameBytesComparesPastTheFirstRead)
{
    TempStore temp;
    const QString a = temp.scratch() + "a", b = a + "2";
    writeBytes(a, QByteArray(200000, 'x') + "old");
    writeBytes(b, QByteArray(200000, 'x') + "new");
    EXPECT_FALSE(raw_file::sameBytes(nativePath(a), nativePath(b)));
}

TEST(Host, NamesEachHostError)
{
    const struct
    {
        std::vector<int> errs;
        const char *failure;
    } errors[] = {{{ENOTDIR}, "Path not found (76)"}, {{EACCES, EPERM, EBUSY}, "Permission denied (70)"},
        {{ENOSPC, EDQUOT}, "Disk full (61)"}, {{EIO}, "Device I/O error (57)"},
        {{ENXIO, ENODEV, ENOMEDIUM}, "Device unavailable (68)"},
        {{ENAMETOOLONG, ELOOP}, "Bad file name (64)"}, {{EROFS, EISDIR}, "Path/File access error (75)"},
        {{EINVAL}, "Invalid procedure call or argument (5)"}};
    for (const auto &[errs, failure] : errors) {
        for (const int err : errs)
            EXPECT_STREQ(Failure::fromErrno(err, QString()).what(), failure) << err;
    }
}

TEST(Host, NativeNamesComeBackByteForByte)
{
    const struct
    {
        const char *bytes;
        const char16_t *text;
    } names[] = {{"\xc2\xa9\xdf\xbf\xe0\xa0\x80\xed\x9f\xbf\xef\xbf\xbd", u"\u00a9\u07ff\u0800\ud7ff\ufffd"},
        {"x\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", u"x\U00010000\U0010ffff"}, {"caf\xe9", u"caf\xdce9"},
        {"\xc1\xbf\xc3(\xc3\xc0", u"\xdcc1\xdcbf\xdcc3(\xdcc3\xdcc0"},
        {"\xe0\x9f\xbf\xed\xa0\x80", u"\xdce0\xdc9f\xdcbf\xdced\xdca0\xdc80"},
        {"\xf0\x8f\xbf\xbf\xf4\x90\x80\x80\xf5", u"\xdcf0\xdc8f\xdcbf\xdcbf\xdcf4\xdc90\xdc80\xdc80\xdcf5"},
        {"\xe2\x82\x7f\xe2\x82", u"\xdce2\xdc82\x7f\xdce2\xdc82"}};
    for (const auto &[bytes, text] : names) {
        EXPECT_EQ(nameFromNative(bytes), QString::fromUtf16(text)) << QByteArray(bytes).toHex().constData();
        EXPECT_EQ(nativePath(nameFromNative(bytes)), QByteArray(bytes));
    }
}

TEST(Host, TheDateTextFollowsTheLocale)
{
    std::setlocale(LC_TIME, "C");
    EXPECT_EQ(host::dateTimeText(QDateTime(QDate(2026, 1, 9), QTime(7, 5, 3)).toSecsSinceEpoch()),
        q("01/09/26 07:05:03"));
}

TEST(Host, TheApplicationFolderFollowsTheInstall)
{
    TempStore temp;
    const QString data = temp.root() + "/data/Quillfen", program = temp.scratch("bin").chopped(1);
    EXPECT_EQ(host::applicationFolder(), temp.appFolder()) << "the override";
    Installed<host::setApplicationFolderOverride> hostFolder {QString()};
    EXPECT_EQ(host::applicationFolder(), QCoreApplication::applicationDirPath());
    EXPECT_EQ(host::applicationFolderFor(program), program);
    for (const char *installed : {"/usr", "/usr/local/bin", "/opt/quillfen"})
        EXPECT_EQ(host::applicationFolderFor(q(installed)), data) << installed;
    EXPECT_TRUE(QFileInfo(data).isDir()) << "made when first needed";
    ReadOnlyFolder readOnly(program);
    if (!readOnly.active())
        GTEST_SKIP() << "cannot make a folder read-only here";
    EXPECT_EQ(host::applicationFolderFor(program), data);
}

TEST(Autostart, TheEntryFollowsTheTickButAsksForAnothers)
{
    const QByteArray own = autostartEntryFor(runningProgram());
    EXPECT_TRUE(own.contains("\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + "\n"));
    EXPECT_TRUE(own.contains("\nX-GNOME-Autostart-enabled=true\n"));
    EXPECT_TRUE(autostartEntryFor("/srv/a$b\"c\\d/100%\n\t\r/q")
                    .contains("\nExec=\"/srv/a\\\\$b\\\\\"c\\\\\\\\d/100%%\\n\\t\\r/q\"\n"));
    const QByteArray former = QByteArray(own).replace("Icon=com.marivale.quillfen", "Icon=quillfen");
    const auto entry = [&](const char *text) {
        return text ? QByteArray(text).replace('@', own).replace('%', former) : "<none>";
    };
    const char *other = "[Desktop Entry]\nExec=/opt/other/quillfen\n",
               *elsewhere = "[Desktop Entry]\n[X]\nHidden=true\n",
               *disabled = "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n";
    const struct
    {
        const char *before; // "@" this program's entry, "%" an earlier build's, nullptr none
        bool startsBefore, on;
        const char *question; // another's entry, touched (Y) or not (N); "": not another's
        const char *after;
    } rows[] = {{nullptr, false, true, "", "@"}, {"@", true, false, "", nullptr},
        {"@Hidden=true\n", false, true, "N", "@Hidden=true\n"}, {"@Hidden = true\n", false, true, "Y", "@"},
        {other, true, false, "Y", nullptr}, {"%", true, false, "", nullptr},
        {elsewhere, true, true, "", elsewhere}, {disabled, false, false, "", disabled}};
    for (const auto &[before, startsBefore, on, question, after] : rows) {
        SCOPED_TRACE(std::string(before ? before : "none") + (on ? " on" : " off"));
        TempStore temp;
        const QString path = autostartEntryPath();
        ASSERT_EQ(path, temp.root() + "/config/autostart/quillfen.desktop");
        if (before && QDir().mkpath(QFileInfo(path).path()))
            writeBytes(path, entry(before));
        EXPECT_EQ(startsAtLogin(), startsBefore);
        EXPECT_EQ(setStartAtLogin(on) == StartAtLogin::ForeignEntry, *question != 0);
        if (*question == 'Y') {
            EXPECT_EQ(setStartAtLogin(on, runningProgram(), true), StartAtLogin::Done);
        }
        EXPECT_EQ(readBytes(path), entry(after));
    }
}

TEST(Autostart, RefusesAProgramPathThatIsNotUtf8)
{
    TempStore temp;
    try {
        setStartAtLogin(true, "/opt/caf\xe9/quillfen");
        ADD_FAILURE() << "an entry was written";
    } catch (const Failure &failure) {
        EXPECT_STREQ(failure.what(),
            "Bad file name: the program's path is not UTF-8 text, which a login entry cannot hold (64)");
    }
    EXPECT_FALSE(present(autostartEntryPath()));
}

TEST(Registry, SystemInfoStartsWhatTheKeysName)
{
    TempStore temp;
    const QString in = temp.scratch();
    makeTree(in, {"sysinfo", "tool/MSINFO32.EXE", "none/"});
    QStringList started;
    Installed<host::setProgramStarter> starter([&](const QString &program, const QStringList &) {
        started << program;
        return QFileInfo(program).isFile(); // as the host: only a program file starts
    });
    const struct
    {
        quint32 type; // of key 1; 0: absent
        QByteArray data; // "@": the scratch folder
        const char *folder; // that key 2 names
        const char *attempt; // the program started; nullptr: none
    } rows[] = {{registry::TypeString, "@sysinfo", "tool", "@sysinfo"},
        {registry::TypeNumber, QByteArray("\x2a\x01\x02\x03", 4), "tool", "50463018"},
        {registry::TypeExpandString, "@sysinfo", "tool", ""},
        {registry::TypeString, QByteArray(1025, 'x'), "tool", "@tool/MSINFO32.EXE"},
        {0, "", "tool", "@tool/MSINFO32.EXE"}, {0, "", "none", nullptr}};
    for (const auto &[type, data, folder, attempt] : rows) {
        SCOPED_TRACE(testing::Message() << data.left(20).constData() << " " << folder);
        const auto table = std::make_shared<registry::TableRegistry>();
        Installed<registry::setCurrent> installed(table);
        if (type)
            table->setValue(registry::LocalMachine, q("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), q("path"),
                type, QByteArray(data).replace('@', in.toUtf8()));
        table->setText(registry::LocalMachine, q("SOFTWARE\\Microsoft\\Shared Tools Location"), q("MSINFO"),
            in + folder);
        const bool startedOne = StartSysInfo();
        const QString program = QString(attempt).replace('@', in);
        EXPECT_EQ(std::exchange(started, {}), attempt ? QStringList {program} : QStringList {});
        EXPECT_EQ(startedOne, attempt && QFileInfo(program).isFile());
        EXPECT_EQ(table->closeCalls(), table->keysOpened().size());
        EXPECT_EQ(table->openHandles(), 0);
    }
}

} // namespace quillfen::test
