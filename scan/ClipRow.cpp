#include "ClipRow.h"

namespace ErrNum = errorlog::ErrNum;
using errorlog::Expected;
using errorlog::Failure;

namespace scan {

QString markText(ScriptMark mark)
{
    return mark == ScriptMark::Exists ? QStringLiteral("Y") : QStringLiteral("-");
}

Expected<ClipNameParts> splitClipFileName(const QString &file)
{
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    // The whole name is the extension, and the name before it would be one
    // character shorter than nothing: no script can be named after it.
    if (dot < 0)
        return Failure::standard(ErrNum::InvalidProcedureCall,
            QStringLiteral("a clip name without \".\" leaves no name for its script: ") + file);
    return ClipNameParts { file.left(dot), file.mid(dot + 1) };
}

} // namespace scan
