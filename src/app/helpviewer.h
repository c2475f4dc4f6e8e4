#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;

// The outside help viewer: Qt Assistant started on the manual's collection
// "Corvos.qhc" and driven through its remote-control input. One viewer serves
// every request while it runs; after the user closed it, the next request
// starts a new one.
class HelpViewer : public QObject
{
    Q_OBJECT
public:
    explicit HelpViewer(QObject *parent = nullptr);
    // Ends a viewer that is still running.
    ~HelpViewer() override;

    // The remote-control command that shows the manual's start page.
    static QByteArray manualStartCommand();

    // Makes sure the viewer runs, then writes the command to its standard
    // input. When no collection or no viewer can be had, the user is told and
    // nothing is written; the next request looks again.
    void sendCommand(const QByteArray &command);

    // The first collection that exists: under the product tree's
    // "targets/share/doc" beside the program's directory, then in the
    // program's directory itself. Empty when neither exists.
    QString collectionPath() const;
    // The viewer to start: "assistant" on the search path, else the one in
    // Qt's binaries directory (Debian keeps it there, off the search path).
    // Empty when there is none.
    QString viewerProgram() const;

    bool isRunning() const;
    QProcess *process() const { return m_process; }

    // Where the program lives; by default the directory of its executable.
    void setProgramDir(const QString &directory) { m_programDir = directory; }
    // Directories searched for the viewer first; by default those of PATH.
    void setSearchPath(const QStringList &directories) { m_searchPath = directories; }
    // Qt's binaries directory; by default the one Qt was installed with.
    void setQtBinariesDir(const QString &directory) { m_qtBinariesDir = directory; }

    // Where a failure is told; by default a critical box titled "Kestrelview".
    using MessageSink = std::function<void(const QString &text)>;
    void setMessageSink(MessageSink sink) { m_messageSink = std::move(sink); }

private:
    bool startViewer();
    void report(const QString &text) const;

    QProcess *m_process;
    QString m_programDir;
    QStringList m_searchPath;
    QString m_qtBinariesDir;
    MessageSink m_messageSink;
};
