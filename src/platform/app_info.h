#pragma once

#include <QString>

namespace quillfen::app_info {

inline constexpr char Title[] = "Quillfen";
// The name of the desktop entry, the icon and the metainfo, and the window's desktop file name.
inline constexpr char AppId[] = "com.marivale.quillfen";
inline constexpr char ProductName[] = "Quillfen";
inline constexpr char FileDescription[] = "Scheduled file mover and copier";
inline constexpr char CompanyName[] = "Marivale";
inline constexpr char LegalCopyright[] = "Copyright \u00a9 2026 Marivale";
inline constexpr char Comments[] = "Tidies working folders and keeps simple backups.";
inline constexpr int VersionMajor = 1;
inline constexpr int VersionMinor = 2;
inline constexpr int VersionRevision = 2;

inline QString title()
{
    return QString::fromUtf8(Title);
}
inline QString versionText()
{
    return QStringLiteral("Version %1.%2.%3").arg(VersionMajor).arg(VersionMinor).arg(VersionRevision);
}

} // namespace quillfen::app_info
