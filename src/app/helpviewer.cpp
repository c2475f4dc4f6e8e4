#include "app/helpviewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr char viewerName[] = "assistant";

// Assistant needs a moment after a start before it reads its input; a start
// that takes longer than this counts as failed.
constexpr int viewerStartTimeoutMs = 30000;
// A viewer asked to end gets this long before it is killed.
constexpr int viewerEndTimeoutMs = 3000;

} // namespace

HelpViewer::HelpViewer(QObject *parent)
    : QObject(parent)
    , m_process(new QProcess(this))
{
    // The viewer's messages go where the program's own go; nothing reads them,
    // so nothing may pile up in a pipe either.
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
}

HelpViewer::~HelpViewer()
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(viewerEndTimeoutMs)) {
        m_process->kill();
        m_process->waitForFinished(viewerEndTimeoutMs);
    }
}

QByteArray HelpViewer::manualStartCommand()
{
    // The namespace and folder are those of docs/manual/kestrelview.qhp.
    // Assistant on Linux ends a command at a NUL byte or a line feed alike;
    // without either it never carries the command out.
    QByteArray command("setSource qthelp://com.sarvek.kestrelview.3532/kestrel/index.html");
    command.append('\0');
    return command;
}

void HelpViewer::sendCommand(const QByteArray &command)
{
    if (m_process->state() == QProcess::NotRunning && !startViewer())
        return;
    m_process->write(command);
}

QString HelpViewer::collectionPath() const
{
    const QString programDir = m_programDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_programDir;
    const QString candidates[] = {
        programDir + QStringLiteral("/../targets/share/doc/Corvos.qhc"),
        programDir + QStringLiteral("/Corvos.qhc"),
    };
    for (const QString &candidate : candidates) {
        if (QFile::exists(candidate))
            return QDir::cleanPath(candidate);
    }
    return {};
}

QString HelpViewer::viewerProgram() const
{
    const QString onSearchPath = QStandardPaths::findExecutable(QLatin1String(viewerName), m_searchPath);
    if (!onSearchPath.isEmpty())
        return onSearchPath;
    const QString qtBinaries =
        m_qtBinariesDir.isEmpty() ? QLibraryInfo::path(QLibraryInfo::BinariesPath) : m_qtBinariesDir;
    return QStandardPaths::findExecutable(QLatin1String(viewerName), {qtBinaries});
}

bool HelpViewer::isRunning() const
{
    return m_process->state() != QProcess::NotRunning;
}

bool HelpViewer::startViewer()
{
    const QString collection = collectionPath();
    if (collection.isEmpty()) {
        report(QStringLiteral("Help files are not found."));
        return false;
    }
    const QString viewer = viewerProgram();
    if (viewer.isEmpty()) {
        report(QStringLiteral("Help viewer '%1' is not found.").arg(QLatin1String(viewerName)));
        return false;
    }
    m_process->start(viewer,
                     {QStringLiteral("-collectionFile"), collection, QStringLiteral("-enableRemoteControl")});
    if (!m_process->waitForStarted(viewerStartTimeoutMs)) {
        report(QStringLiteral("Help viewer '%1' cannot be started.").arg(viewer));
        return false;
    }
    return true;
}

void HelpViewer::report(const QString &text) const
{
    if (m_messageSink) {
        m_messageSink(text);
        return;
    }
    QMessageBox::critical(nullptr, QStringLiteral("Kestrelview"), text, QMessageBox::Ok);
}
