#include "Dialog.h"

#include "TitledGroupBox.h"
#include "mGlobal.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

using appcore::UCasePart;

using ui::titledGroupBox;

namespace {

constexpr int PathRole = Qt::UserRole;

QString cleanFolder(const QString &folder)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(folder).absolutePath()));
}

// The drive letter of a path such as d:\clips is upper-cased; other paths are
// handed on exactly as they are (a ':' elsewhere in a Linux name is no drive).
QString withUpperDriveLetter(const QString &path)
{
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (!drive.match(path).hasMatch())
        return path;
    return UCasePart(path, 1, int(path.indexOf(QLatin1Char(':')) + 1));
}

} // namespace

Dialog::Dialog(Receivers receivers, QWidget *parent)
    : QDialog(parent)
    , m_receivers(std::move(receivers))
{
    setObjectName(QStringLiteral("Dialog"));
    setWindowTitle(QStringLiteral("Choose folder"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    auto *group = titledGroupBox(QStringLiteral("Choose folder"), this);
    Drive1 = new QComboBox(group);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Dir1 = new QListWidget(group);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setToolTip(QStringLiteral("Double-click a folder (or press Enter) to open it"));
    lblNote = new QLabel(group);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setWordWrap(true);
    lblNote->setStyleSheet(QStringLiteral("color: #a00000;"));
    lblNote->hide();
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(Drive1);
    groupLayout->addWidget(Dir1, 1);
    groupLayout->addWidget(lblNote);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setAutoDefault(false);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    buttons->addStretch();

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(buttons);
    resize(fontMetrics().averageCharWidth() * 70, fontMetrics().height() * 22);

    fillDrives();
    connect(Drive1, &QComboBox::activated, this, &Dialog::Drive1_Change);
    connect(Dir1, &QListWidget::itemActivated, this, &Dialog::dirActivated);
    connect(OKButton, &QPushButton::clicked, this, &Dialog::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &Dialog::CancelButton_Click);
}

void Dialog::showEvent(QShowEvent *event)
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QDialog::showEvent(event);
}

void Dialog::fillDrives()
{
    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    std::sort(volumes.begin(), volumes.end(),
        [](const QStorageInfo &a, const QStorageInfo &b) { return a.rootPath() < b.rootPath(); });
    for (const QStorageInfo &volume : std::as_const(volumes)) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = QDir::toNativeSeparators(volume.rootPath());
        const QString label = volume.displayName() == volume.rootPath()
            ? root
            : QStringLiteral("%1  [%2]").arg(root, volume.displayName());
        Drive1->addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), label, root);
    }
    if (Drive1->findData(QDir::toNativeSeparators(QDir::rootPath())) < 0)
        Drive1->insertItem(0, QDir::toNativeSeparators(QDir::rootPath()), QDir::toNativeSeparators(QDir::rootPath()));
}

void Dialog::selectDriveFor(const QString &folder)
{
    // The drive of a folder is the mount point that holds it: the longest
    // root that the path starts with.
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < Drive1->count(); ++i) {
        const QString root = Drive1->itemData(i).toString();
        const bool holds
            = folder == root || folder.startsWith(root.endsWith(QDir::separator()) ? root : root + QDir::separator());
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best >= 0)
        Drive1->setCurrentIndex(best);
}

bool Dialog::setOpenFolder(const QString &folder)
{
    const QString path = cleanFolder(folder);
    QDir dir(path);
    if (folder.isEmpty() || !dir.exists() || !dir.isReadable()) {
        lblNote->setText(QStringLiteral("The folder \"%1\" cannot be opened.").arg(folder));
        lblNote->show();
        return false;
    }
    lblNote->hide();
    m_openFolder = path;
    selectDriveFor(path);

    Dir1->clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    // The path down to the open folder, one level per row...
    QStringList chain;
    for (QDir up(path);;) {
        chain.prepend(QDir::toNativeSeparators(up.absolutePath()));
        if (up.isRoot() || !up.cdUp())
            break;
    }
    int depth = 0;
    for (const QString &ancestor : std::as_const(chain)) {
        const QString name = depth == 0 ? ancestor : QDir(ancestor).dirName();
        auto *item = new QListWidgetItem(openIcon, QString(depth * 2, QLatin1Char(' ')) + name, Dir1);
        item->setData(PathRole, ancestor);
        ++depth;
    }
    Dir1->setCurrentRow(Dir1->count() - 1);
    // ...then its subfolders, one level deeper.
    const QStringList subfolders
        = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : subfolders) {
        auto *item = new QListWidgetItem(closedIcon, QString(depth * 2, QLatin1Char(' ')) + name, Dir1);
        item->setData(PathRole, QDir::toNativeSeparators(dir.absoluteFilePath(name)));
    }
    return true;
}

void Dialog::openStartingFolder(const QString &folder)
{
    if (setOpenFolder(folder))
        return;
    const QString note = folder.isEmpty()
        ? QStringLiteral("No folder is set yet; showing the current folder.")
        : QStringLiteral("The folder \"%1\" does not exist or cannot be read; showing the current folder.").arg(folder);
    if (!setOpenFolder(QDir::currentPath()) && !setOpenFolder(QDir::homePath()))
        setOpenFolder(QDir::rootPath());
    lblNote->setText(note);
    lblNote->show();
}

void Dialog::Form_Load()
{
    if (m_caller == QLatin1String("0")) {
        setWindowTitle(QStringLiteral("Add a scan folder"));
        openStartingFolder(QDir::currentPath());
    } else if (m_caller == QLatin1String("1")) {
        setWindowTitle(QStringLiteral("Set your .avs folder"));
        openStartingFolder(m_labelFolder);
    } else {
        openStartingFolder(QDir::currentPath());
    }
}

void Dialog::Drive1_Change()
{
    const QString root = Drive1->currentData().toString();
    // A drive's current folder: the process's own folder when it lies on
    // that drive, else the drive's root.
    const QString current = cleanFolder(QDir::currentPath());
    QString target = root;
    if (current.startsWith(root)) {
        Drive1->blockSignals(true);
        selectDriveFor(current);
        const bool sameDrive = Drive1->currentData().toString() == root;
        Drive1->blockSignals(false);
        if (sameDrive)
            target = current;
    }
    if (!setOpenFolder(target)) {
        const QString note = lblNote->text();
        if (!m_openFolder.isEmpty())
            setOpenFolder(m_openFolder);
        lblNote->setText(QStringLiteral("The drive %1 cannot be read. ").arg(root) + note);
        lblNote->show();
    }
}

void Dialog::dirActivated(QListWidgetItem *item)
{
    if (item)
        setOpenFolder(item->data(PathRole).toString());
}

void Dialog::OKButton_Click()
{
    const QString path = withUpperDriveLetter(m_openFolder);
    if (m_caller == QLatin1String("0") && m_receivers.addFolder)
        m_receivers.addFolder(path);
    else if (m_caller == QLatin1String("1") && m_receivers.avsFolder)
        m_receivers.avsFolder(path);
    accept();
}

void Dialog::CancelButton_Click()
{
    reject();
}
