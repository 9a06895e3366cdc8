#include "QtDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

using platform::Dialogs;

namespace {

QString captionOrTitle(const QString &title)
{
    return title.isEmpty() ? QApplication::applicationName() : title;
}

} // namespace

Dialogs::Answer QtDialogs::question(const QString &title, const QString &text, Icon icon)
{
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning
            : icon == Icon::Information   ? QMessageBox::Information
                                          : QMessageBox::NoIcon,
        captionOrTitle(title), text, QMessageBox::Yes | QMessageBox::No, m_owner);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? Yes : No;
}

void QtDialogs::message(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, captionOrTitle(title), text, QMessageBox::Ok, m_owner);
    box.exec();
}

QString QtDialogs::qtFilter(const QString &classicFilter)
{
    // Pairs of "description|pattern"; Qt shows the description, which already
    // names the pattern.
    const QStringList parts = classicFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << (description.contains(QLatin1Char('(')) ? description
                                                           : QStringLiteral("%1 (%2)").arg(description, patterns));
    }
    return entries.join(QStringLiteral(";;"));
}

QString QtDialogs::fileName(bool save, const QString &title, const QString &folder, const QString &filter)
{
    QFileDialog dialog(m_owner, title, folder, qtFilter(filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A typed name is taken as it stands: Open accepts a name that does not
    // exist, Save neither asks before replacing nor adds an extension.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(QString());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

QString QtDialogs::openFileName(const QString &title, const QString &folder, const QString &filter)
{
    return fileName(false, title, folder, filter);
}

QString QtDialogs::saveFileName(const QString &title, const QString &folder, const QString &filter)
{
    return fileName(true, title, folder, filter);
}

bool QtDialogs::openUrl(const QString &url)
{
    return QDesktopServices::openUrl(QUrl(url));
}
