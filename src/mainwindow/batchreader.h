#pragma once

#include <QEventLoop>
#include <QFuture>
#include <QString>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class EventCatalogue;
class NodeParse;

// Reads the trace files of one batch in parallel, one file per task of the
// global thread pool, each into a node of no project (NodeParse), for the
// main thread to add one after another in the order given.
class BatchReader
{
public:
    struct Request
    {
        QString path;
        int origin; // a NodeOrigin
    };

    // Starts every read; `catalogue` must outlive the reader.
    BatchReader(const QVector<Request> &requests, const EventCatalogue *catalogue);
    BatchReader(const BatchReader &) = delete;
    BatchReader &operator=(const BatchReader &) = delete;
    // Cancels the reads still running and waits for them.
    ~BatchReader();

    // Called now and then while waitFor() waits; answers which events the
    // wait may process until the next call.
    using Tick = std::function<QEventLoop::ProcessEventsFlags()>;
    // Runs the event loop until the read of file `index` has ended or the
    // batch is cancelled; false when cancelled.
    bool waitFor(int index, const Tick &tick);
    // The read of file `index`, once waitFor(index) has returned true.
    NodeParse &result(int index) const;

    // Reads not yet started do not start, running ones stop at their next
    // progress report; their results are thrown away.
    void cancel() { m_cancel = true; }
    bool isCancelled() const { return m_cancel; }

    // Over the whole batch, in bytes: what the reads have got through, a
    // finished file counting whole, and the size of every file at the start.
    qint64 bytesRead() const;
    qint64 totalBytes() const { return m_totalBytes; }

private:
    struct File
    {
        QString path;
        qint64 size = 0;
        std::atomic<qint64> read{0};
        QFuture<std::shared_ptr<NodeParse>> future;
    };

    std::vector<std::unique_ptr<File>> m_files;
    std::atomic<bool> m_cancel{false};
    qint64 m_totalBytes = 0;
};
