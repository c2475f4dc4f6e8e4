#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QTimer;

// Hidden top-level widget that takes the trace files a second start of the
// program hands over (see handoff.h) and announces each one. It is never shown.
// One instance listens; every other one stays connected to it and takes the
// socket over when that connection ends and nobody answers any more, so that a
// later start still finds a running instance.
class TraceFileReceiver : public QWidget
{
    Q_OBJECT
public:
    explicit TraceFileReceiver(QWidget *parent = nullptr);
    ~TraceFileReceiver() override;

    // False while another live instance owns the hand-off socket (its socket
    // is left alone) or when the socket could not be created.
    bool isListening() const;

    // For a slot of addNodeFromReceiver that cannot load the file yet: the
    // second start that handed it over is answered once every copy of the
    // returned hold is gone, not as soon as the signal returns. Null outside
    // the signal.
    std::shared_ptr<void> holdAnswer() const { return m_answer; }

signals:
    void addNodeFromReceiver(QString traceFilePath);

private:
    // Listens unless a live instance answers; then watches that instance.
    void listenOrWatch();
    bool watchInstanceAt(const QString &serverName);
    void acceptConnections();
    void readMessage(QLocalSocket *client, QTimer *deadline);

    QLocalServer *m_server;
    // The connection to the listening instance, while another one listens.
    QPointer<QLocalSocket> m_watch;
    // The answer owed for the path being announced; null between announcements.
    std::shared_ptr<void> m_answer;
};
