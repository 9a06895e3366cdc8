#pragma once

#include "frmTovrane.h"

#include <memory>

// A main window brought up as at start. Nothing listens on the discard port,
// so its update check fails at once.
inline std::unique_ptr<frmTovrane> loadedMainWindow(const appcore::ProgramInfo &info, platform::Dialogs &dialogs)
{
    auto window = std::make_unique<frmTovrane>(
        info, dialogs, frmTovrane::UpdateCheck { QStringLiteral("http://127.0.0.1:9"), QString() });
    window->Form_Load();
    return window;
}
