#include "ExecutablePath.h"

#include <vector>

#include <windows.h>

// The path comes in UTF-16, so every name the folder can have is held
// exactly; only a path that cannot be had at all is a problem.
QString executableFolderProblem()
{
    std::vector<wchar_t> exe(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, exe.data(), DWORD(exe.size()));
        if (n == 0)
            return QStringLiteral("its own folder cannot be found");
        if (n < exe.size())
            return QString::fromWCharArray(exe.data(), int(n)).contains(QLatin1Char('\\'))
                ? QString()
                : QStringLiteral("its own folder cannot be found");
        exe.resize(exe.size() * 2);
    }
}
