// A generic Qt plugin that a program under measurement loads through the
// environment (QT_QPA_GENERIC_PLUGINS=tovraneidleprobe:<window title>), so the
// program itself carries no measuring code. Once a visible, exposed top-level
// window with that title exists and the event loop is about to wait for the
// next event, the plugin writes "idle" to standard output and ends the process
// at once; startup_probe times launch to that line.
#include <QAbstractEventDispatcher>
#include <QGenericPlugin>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

#include <unistd.h>

namespace {

class IdleWatcher : public QObject
{
public:
    explicit IdleWatcher(QString title)
        : m_title(std::move(title))
    {
        // The dispatcher exists by the time QGuiApplication loads generic
        // plugins; the timer covers a Qt that loads them earlier.
        if (!connectDispatcher())
            QTimer::singleShot(0, this, [this] { connectDispatcher(); });
    }

private:
    bool connectDispatcher()
    {
        QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
        if (!dispatcher)
            return false;
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &IdleWatcher::check);
        return true;
    }

    void check()
    {
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            if (window->title() == m_title && window->isVisible() && window->isExposed()) {
                static const char line[] = "idle\n";
                [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, line, sizeof line - 1);
                // Nothing after this point is part of the measurement, and
                // tearing the program down normally would only add noise.
                ::_exit(0);
            }
        }
    }

    QString m_title;
};

} // namespace

class IdleProbePlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "idleprobe.json")

public:
    QObject *create(const QString &key, const QString &argument) override
    {
        if (key.compare(QLatin1String("tovraneidleprobe"), Qt::CaseInsensitive) != 0 || argument.isEmpty())
            return nullptr;
        return new IdleWatcher(argument);
    }
};

#include "IdleProbe.moc"
