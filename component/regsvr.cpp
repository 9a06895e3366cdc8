// regsvr: registers an in-process component library in the current user's
// component registry by calling its DllRegisterServer, or removes it again
// with -u (DllUnregisterServer). Installers and the start script run it.
// With --system the registration is for every user: it goes to the
// machine-wide registry, as a package's installation script asks (on
// Windows HKEY_LOCAL_MACHINE\Software\Classes, which needs an
// administrator; without one the library's registration fails and says so).

#include "ComponentRegistry.h"
#include "ComponentServer.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

using component::ComponentRegistry;
using component::registerServer;
using component::ServerRegistration;

namespace {

// The classic tool's exit codes, so scripts can tell the failures apart. The
// one for a component system that cannot start stands for a registry that
// cannot be used.
enum ExitCode { Success = 0, BadArguments = 1, NoRegistry = 2, LoadFailed = 3, EntryMissing = 4, CallFailed = 5 };

void printLine(std::FILE *stream, const QString &text)
{
    std::fputs(qPrintable(text), stream);
    std::fputc('\n', stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);

    bool unregister = false, machineWide = false;
    for (; !args.isEmpty(); args.removeFirst()) {
        if (args.first() == QLatin1String("-u") || args.first() == QLatin1String("/u"))
            unregister = true;
        else if (args.first() == QLatin1String("--system"))
            machineWide = true;
        else
            break;
    }
    if (args.size() != 1 || args.first().isEmpty() || args.first().startsWith(QLatin1Char('-'))) {
        printLine(stderr, QStringLiteral("usage: regsvr [-u] [--system] LIBRARY"));
        return BadArguments;
    }
    // The library registers itself through its own copy of the registry
    // code, which learns from the environment where to write.
    if (machineWide)
        qputenv(ComponentRegistry::MachineWideVariable, "1");
    else
        qunsetenv(ComponentRegistry::MachineWideVariable);

    // Nothing is loaded, let alone written, where the registration could not go.
    if (const QString problem = ComponentRegistry().problem(); !problem.isEmpty()) {
        printLine(stderr,
            QStringLiteral("regsvr: cannot ")
                + (unregister ? QStringLiteral("unregister ") : QStringLiteral("register ")) + args.first()
                + QStringLiteral(": ") + problem);
        return NoRegistry;
    }

    const ServerRegistration result = registerServer(args.first(), unregister);
    switch (result.failure) {
    case ServerRegistration::None: printLine(stdout, result.description); return Success;
    case ServerRegistration::LoadFailed:
        printLine(
            stderr, QStringLiteral("regsvr: cannot load ") + args.first() + QStringLiteral(": ") + result.description);
        return LoadFailed;
    case ServerRegistration::EntryMissing:
        printLine(stderr,
            QStringLiteral("regsvr: ") + args.first() + QStringLiteral(" is not a self-registering library: ")
                + result.description);
        return EntryMissing;
    case ServerRegistration::CallFailed:
        printLine(stderr, QStringLiteral("regsvr: ") + result.description);
        return CallFailed;
    }
    return CallFailed;
}
