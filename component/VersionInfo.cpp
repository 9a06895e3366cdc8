#include "VersionInfo.h"

namespace component {

std::optional<QString> LibraryVersionInfo::string(QStringView name) const
{
    for (const auto &[key, value] : strings) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

std::optional<QString> readVersionString(const QString &libraryPath, const QString &name)
{
    const std::optional<LibraryVersionInfo> info = readVersionInfo(libraryPath);
    return info ? info->string(name) : std::nullopt;
}

} // namespace component
