#include "mainwindow/batchreader.h"

#include "trace/nodeparse.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent>
#include <QThread>
#include <QTimer>

namespace {

// How often a wait ticks, in milliseconds: a smooth bar, a prompt Cancel.
constexpr int tickInterval = 30;

} // namespace

BatchReader::BatchReader(const QVector<Request> &requests, const EventCatalogue *catalogue)
{
    QThread *const home = QThread::currentThread();
    for (const Request &request : requests) {
        auto file = std::make_unique<File>();
        file->path = request.path;
        const QFileInfo info(request.path);
        file->size = info.isFile() ? info.size() : 0;
        m_totalBytes += file->size;
        File *const target = file.get();
        const int origin = request.origin;
        // Tasks start in the order given, so the first files end first.
        file->future = QtConcurrent::run([this, target, origin, catalogue, home] {
            if (m_cancel)
                return std::shared_ptr<NodeParse>();
            const auto progress = [target](qint64 bytesRead, qint64) { target->read = bytesRead; };
            return std::make_shared<NodeParse>(target->path, origin, catalogue, progress, &m_cancel, home);
        });
        m_files.push_back(std::move(file));
    }
}

BatchReader::~BatchReader()
{
    cancel();
    for (const auto &file : m_files)
        file->future.waitForFinished();
}

bool BatchReader::waitFor(int index, const Tick &tick)
{
    const QFuture<std::shared_ptr<NodeParse>> &future = m_files.at(size_t(index))->future;
    // The watcher's report wakes the wait as soon as the read ends.
    QFutureWatcher<std::shared_ptr<NodeParse>> watcher;
    watcher.setFuture(future);
    QTimer ticker;
    ticker.start(tickInterval);
    QEventLoop::ProcessEventsFlags flags = tick();
    while (!future.isFinished() && !isCancelled()) {
        QCoreApplication::processEvents(flags | QEventLoop::WaitForMoreEvents);
        flags = tick();
    }
    return !isCancelled();
}

NodeParse &BatchReader::result(int index) const
{
    return *m_files.at(size_t(index))->future.result();
}

qint64 BatchReader::bytesRead() const
{
    qint64 sum = 0;
    for (const auto &file : m_files)
        sum += file->future.isFinished() ? file->size : qMin(file->read.load(), file->size);
    return sum;
}
