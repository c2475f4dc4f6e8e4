// Find benchmark: counting a query's matches over a large node, stepping
// from the first event to a match near the end in a view window (the list
// selects it, the chart follows and both repaint), and turning "Show only
// matches" on and off until painted. Prints figures; never fails a build.

#include "app/tracer.h"
#include "benchsupport.h"
#include "generatednode.h"
#include "trace/eventquery.h"
#include "trace/node.h"
#include "trace/project.h"
#include "tracegenerator.h"
#include "views/findbar.h"
#include "views/nodeviewwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>

namespace {

const QSize windowSize(1400, 800);

// Median milliseconds of `rounds` runs of `step`, each after `prepare`.
double medianMs(int rounds, const std::function<void()> &prepare, const std::function<void()> &step)
{
    QList<double> times;
    for (int i = 0; i < rounds; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        step();
        times.append(double(timer.nsecsElapsed()) / 1e6);
    }
    return BenchSupport::median(times);
}

void settle(NodeViewWindow &window)
{
    window.repaint();
    QApplication::processEvents();
}

// Types the query into the window's find bar and evaluates it at once.
void setQuery(NodeViewWindow &window, const QString &query)
{
    window.findBar()->queryEdit()->setText(query);
    window.findBar()->flush();
    settle(window);
}

} // namespace

int main(int argc, char *argv[])
{
    const auto [events, rounds] = BenchSupport::setUp(argc, argv, 5);
    QApplication app(argc, argv);
    Tracer tracer;
    BenchSupport::startHeadless(tracer);
    QTemporaryDir dir;
    Node *node = generateNode(tracer, dir, events);
    if (!node)
        qFatal("generating the trace failed");
    QTextStream out(stdout);
    out << QStringLiteral("find over %1 events, median of %2 rounds\n").arg(node->eventCount()).arg(rounds);

    const QString nearEnd = QStringLiteral("time:%1..").arg(node->event(node->eventCount() - 20)->timestamp);
    const QStringList queries = {QStringLiteral("type:ServiceRequest"), QStringLiteral("task:1 type:0"),
                                 QStringLiteral("request"), QStringLiteral("777"), nearEnd};
    for (const QString &query : queries) {
        std::size_t count = 0;
        const double ms = medianMs(
            rounds, [] {}, [&] { count = EventQuery(query, *node).matchAll().size(); });
        out << QStringLiteral("  count  %1: %2 matches in %3 ms\n").arg(query).arg(count).arg(ms, 0, 'f', 2);
    }

    NodeViewWindow window(node->project(), 1);
    window.resize(windowSize);
    window.show();
    window.showNode(node);
    settle(window);
    window.openFind();

    // From the first event to the first match near the end: the list selects
    // it and scrolls, the chart follows, both repaint.
    setQuery(window, nearEnd);
    const double next = medianMs(
        rounds,
        [&] {
            window.on_selectionWasChangedOutside(0, 0);
            settle(window);
        },
        [&] {
            window.stepMatch(true);
            settle(window);
        });
    out << QStringLiteral("  find next from event 1 to event %1: %2 ms (until painted)\n")
               .arg(window.matches().front() + 1)
               .arg(next, 0, 'f', 2);

    const QString many = QStringLiteral("type:ServiceRequest");
    setQuery(window, many);
    QCheckBox *filter = window.findBar()->filterBox();
    const double on = medianMs(
        rounds,
        [&] {
            filter->setChecked(false);
            settle(window);
        },
        [&] {
            filter->setChecked(true);
            settle(window);
        });
    const double off = medianMs(
        rounds,
        [&] {
            filter->setChecked(true);
            settle(window);
        },
        [&] {
            filter->setChecked(false);
            settle(window);
        });
    out << QStringLiteral("  filter %1 (%2 rows): on %3 ms, off %4 ms (until painted)\n")
               .arg(many)
               .arg(window.matches().size())
               .arg(on, 0, 'f', 2)
               .arg(off, 0, 'f', 2);
    const double typed = medianMs(
        rounds, [&] { setQuery(window, QString()); }, [&] { setQuery(window, many); });
    out << QStringLiteral("  query typed with the filter on, until painted: %1 ms\n").arg(typed, 0, 'f', 2);
    return 0;
}
