#pragma once

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The folder chooser: a drive (mount) list and a folder list showing the path
// down to the open folder and its subfolders. A new modal instance per use;
// OK hands the open folder to the receiver of its Caller.
class Dialog : public QDialog
{
    Q_OBJECT

public:
    // Who takes the folder on OK: addFolder for Caller 0, avsFolder for
    // Caller 1. The chooser keeps nothing itself.
    struct Receivers
    {
        std::function<void(const QString &)> addFolder;
        std::function<void(const QString &)> avsFolder;
    };

    explicit Dialog(Receivers receivers, QWidget *parent = nullptr);

    // 0: add a scan folder; 1: set the script folder. Set before exec().
    void setCaller(int caller) { m_caller = QString::number(caller); }
    // The folder the lists open at for Caller 1.
    void setLabelFolder(const QString &folder) { m_labelFolder = folder; }

    // The folder opened last (by double-click/Enter or a drive change).
    QString openFolder() const { return m_openFolder; }
    // Opens a folder in the lists; false (and a note in the chooser) when it
    // cannot be read, in which case the lists stay where they were.
    bool setOpenFolder(const QString &folder);

public slots:
    void Form_Load();
    void Drive1_Change();
    void OKButton_Click();
    void CancelButton_Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QComboBox *Drive1 = nullptr;
    QListWidget *Dir1 = nullptr;
    QLabel *lblNote = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

    void fillDrives();
    void selectDriveFor(const QString &folder);
    void openStartingFolder(const QString &folder);
    void dirActivated(QListWidgetItem *item);

    Receivers m_receivers;
    QString m_caller = QStringLiteral("0");
    QString m_labelFolder;
    QString m_openFolder;
    bool m_loaded = false;
};
