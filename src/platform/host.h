#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <ctime>
#include <functional>

namespace quillfen::host {

// The folder separator; every folder text the program forms ends with it.
inline constexpr char16_t Separator = u'/';
QString separator();

// The folder that holds the log and the settings file, without a trailing separator:
// the program's own folder when the user can write there and it is not installed below
// /usr or /opt, otherwise the per-user data folder (created when first needed).
QString applicationFolder();
// The application folder for a program living in `programFolder`.
QString applicationFolderFor(const QString &programFolder);
// Tests point the application folder elsewhere; an empty text restores the host's answer.
// Each of these test setters answers what it replaced, for the caller to put back.
QString setApplicationFolderOverride(const QString &folder);

QString computerName();

// Date in the user's short form, one blank, time in the user's long form.
QString dateTimeText(std::time_t when);
// The local time of `when` in a strftime form, such as "%x" for the short date.
QString localTimeText(std::time_t when, const char *format);
QString nowText();

// Names the local time zone for the process when the environment names none, so that
// local-time conversions stop looking the zone file up again for every file.
void pinLocalTimeZone();

// A name that the host hides from ordinary listings.
bool isHiddenName(QStringView name);

// Looks `path` up as a folder: true when it names an existing folder (a trailing
// separator is allowed) or an existing file. Throws Failure for errors other than absence.
bool lookupFolder(const QString &path);

// Looks `path` up as a plain file: a regular file or a link to one whose name is not
// hidden. Folders and special files are not found. Throws Failure for errors other than
// absence (a missing file or folder on the way answers false).
// `native`, when given, is the path's native form, already at hand.
bool lookupPlainFile(const QString &path, const QByteArray &native = QByteArray());

// Starts a program without a shell and without waiting for it; throws Failure when it
// cannot be started.
void startProgram(const QString &program, const QStringList &arguments);

// Opens `path` in the desktop's application for its kind, started as startProgram starts one.
// `noneOpened` is called, perhaps later, when no application took the file; `opened`, when given,
// when one did.
void openWithApplication(
    const QString &path, std::function<void()> noneOpened, std::function<void()> opened = {});

// Tests observe program starts instead of starting anything. The starter answers whether
// the start succeeded; pass an empty function to restore the host's.
using ProgramStarter = std::function<bool(const QString &program, const QStringList &arguments)>;
ProgramStarter setProgramStarter(ProgramStarter starter);

// Ends the program at once: no window runs its close handling. Tests observe it instead;
// then the call returns and the caller must leave its handler.
void endProgram();
using ProgramEnder = std::function<void()>;
ProgramEnder setProgramEnder(ProgramEnder ender);

} // namespace quillfen::host
