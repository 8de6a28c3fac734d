#pragma once

#include <QString>

#include <exception>

namespace quillfen {

// Failure numbers keep one meaning throughout the program.
namespace failure_no {
inline constexpr int InvalidArgument = 5;
inline constexpr int Overflow = 6;
inline constexpr int TypeMismatch = 13;
inline constexpr int FileNotFound = 53;
inline constexpr int FileChanged = 55;
inline constexpr int FileExists = 58;
inline constexpr int DeviceIoError = 57;
inline constexpr int DiskFull = 61;
inline constexpr int BadFileName = 64;
inline constexpr int DeviceUnavailable = 68;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccessError = 75;
inline constexpr int PathNotFound = 76;
} // namespace failure_no

// A failure: a number and its description. Routines that trap nothing throw it;
// the handler that traps it reports it.
class Failure : public std::exception
{
public:
    explicit Failure(int number);
    Failure(int number, QString description);

    int number() const { return m_number; }
    const QString &description() const { return m_description; }
    const char *what() const noexcept override;

    // Maps a host error (errno) met on `path` to a failure. A missing file whose
    // folder exists is 53; a missing or non-folder component of the path is 76.
    static Failure fromErrno(int err, const QString &path = QString());
    static Failure fromErrno(int err, const QByteArray &nativePath);

    static QString describe(int number);

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

} // namespace quillfen
