#pragma once

#include <QWidget>

class QLocalServer;
class QLocalSocket;
class QTimer;

// Hidden top-level widget that takes the trace files a second start of the
// program hands over (see handoff.h) and announces each one. It is never shown.
class TraceFileReceiver : public QWidget
{
    Q_OBJECT
public:
    explicit TraceFileReceiver(QWidget *parent = nullptr);

    // False when another live instance already owns the hand-off socket (its
    // socket is left alone) or the socket could not be created.
    bool isListening() const;

signals:
    void addNodeFromReceiver(QString traceFilePath);

private:
    void acceptConnections();
    void readMessage(QLocalSocket *client, QTimer *deadline);

    QLocalServer *m_server;
};
