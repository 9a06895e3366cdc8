// Version resources where libraries carry none of the system's kind: the
// library publishes one through a C entry point.

#include "ComponentServer.h"
#include "VersionInfo.h"

namespace component {

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

} // namespace component
