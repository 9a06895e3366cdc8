#include "VersionInfo.h"

#include "ComponentServer.h"

namespace component {

std::optional<QString> LibraryVersionInfo::string(QStringView name) const
{
    for (const auto &[key, value] : strings) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

std::optional<LibraryVersionInfo> readVersionInfo(const QString &libraryPath, QString *description)
{
    HRESULT hr = S_OK;
    const auto entry
        = reinterpret_cast<DllGetVersionInfoFn>(resolveServerEntry(libraryPath, kVersionInfoEntry, &hr, description));
    if (!entry)
        return std::nullopt;
    const ComponentVersionInfo *raw = entry();
    if (!raw) {
        if (description)
            *description = QStringLiteral("No version information in ") + libraryPath;
        return std::nullopt;
    }

    LibraryVersionInfo info;
    const auto version = [](const std::uint16_t(&v)[4]) { return QVersionNumber({ v[0], v[1], v[2], v[3] }); };
    info.fileVersion = version(raw->fileVersion);
    info.productVersion = version(raw->productVersion);
    for (std::uint32_t i = 0; raw->strings && i < raw->stringCount; ++i) {
        const ComponentVersionString &s = raw->strings[i];
        if (!s.name)
            continue;
        // Copied: nothing of the library's memory is kept.
        info.strings.append({ QString::fromUtf8(s.name), s.value ? QString::fromUtf8(s.value) : QString() });
    }
    return info;
}

std::optional<QString> readVersionString(const QString &libraryPath, const QString &name)
{
    const std::optional<LibraryVersionInfo> info = readVersionInfo(libraryPath);
    return info ? info->string(name) : std::nullopt;
}

} // namespace component
