// View window benchmark: showing a node in a node view window, and scrolling
// its event list by one page while the chart follows and repaints, for a
// large node and a small one side by side in one run. Prints figures and
// ratios; never fails a build.

#include "app/tracer.h"
#include "benchsupport.h"
#include "generatednode.h"
#include "trace/node.h"
#include "trace/project.h"
#include "tracegenerator.h"
#include "views/eventchart.h"
#include "views/nodeviewwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

namespace {

const QSize windowSize(1400, 800);

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

struct Figures
{
    QString name;
    int events = 0;
    double showCall = 0;    // ms, showNode alone
    double showPainted = 0; // ms, showNode until the window has painted
    double page = 0;        // ms, median of one page of the list with the chart following
    int chartMoves = 0;     // pages on which the chart scrolled too
    int pages = 0;
};

// Shows `node` in a fresh window `rounds` times, then pages through the
// event list of the last one.
Figures measure(Node *node, const QString &name, int rounds)
{
    Figures figures;
    figures.name = name;
    figures.events = node->eventCount();
    QList<double> shows;
    QList<double> painted;
    std::unique_ptr<NodeViewWindow> window;
    for (int i = 0; i < rounds; ++i) {
        window = std::make_unique<NodeViewWindow>(node->project(), 1);
        window->resize(windowSize);
        window->show();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        const QString error = window->showNode(node);
        shows.append(msSince(timer));
        window->repaint();
        QApplication::processEvents();
        painted.append(msSince(timer));
        if (!error.isEmpty())
            qFatal("%s", qPrintable(error));
    }
    figures.showCall = BenchSupport::median(shows);
    figures.showPainted = BenchSupport::median(painted);

    // Paging starts from the middle, where the chart has events on both sides
    // to follow to. The chart is moved there and the list follows it: at its
    // opening position the chart counts the events under its header as in
    // view and would not follow the list at all.
    EventChart *chart = window->chart();
    QScrollBar *list = window->eventList()->verticalScrollBar();
    chart->horizontalScrollBar()->setValue(chart->horizontalScrollBar()->maximum() / 2);
    window->repaint();
    QApplication::processEvents();

    QScrollBar *chartBar = chart->horizontalScrollBar();
    QList<double> pages;
    // Towards the end with room for more pages; a small node may have none left there.
    const bool down = list->maximum() - list->value() >= list->value() - list->minimum();
    for (int i = 0; i < 30; ++i) {
        const int listBefore = list->value();
        const int chartBefore = chartBar->value();
        QElapsedTimer timer;
        timer.start();
        list->triggerAction(down ? QAbstractSlider::SliderPageStepAdd : QAbstractSlider::SliderPageStepSub);
        window->repaint();
        QApplication::processEvents();
        const double ms = msSince(timer);
        if (list->value() == listBefore)
            break;
        pages.append(ms);
        if (chartBar->value() != chartBefore)
            ++figures.chartMoves;
    }
    figures.pages = int(pages.size());
    figures.page = pages.isEmpty() ? 0 : BenchSupport::median(pages);
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    const auto [events, rounds] = BenchSupport::setUp(argc, argv, 5);
    QApplication app(argc, argv);

    Tracer tracer;
    BenchSupport::startHeadless(tracer);
    QTemporaryDir bigDir;
    QTemporaryDir smallDir;
    Node *large = generateNode(tracer, bigDir, events);
    Node *small = generateNode(tracer, smallDir, 100);
    if (!large || !small)
        qFatal("generating the traces failed");

    QTextStream out(stdout);
    out << QStringLiteral("node view window %1x%2, median of %3 rounds of showNode and of up to 30 pages\n")
               .arg(windowSize.width())
               .arg(windowSize.height())
               .arg(rounds);
    const Figures big = measure(large, QStringLiteral("large node"), rounds);
    const Figures little = measure(small, QStringLiteral("small node"), rounds);
    for (const Figures &f : {big, little}) {
        out << QStringLiteral(
                   "%1, %2 events:\n  showNode %3 ms (until painted %4 ms)\n"
                   "  one page of the list, chart following: %5 ms (chart moved on %6 of %7 pages)\n")
                   .arg(f.name)
                   .arg(f.events)
                   .arg(f.showCall, 0, 'f', 2)
                   .arg(f.showPainted, 0, 'f', 2)
                   .arg(f.page, 0, 'f', 2)
                   .arg(f.chartMoves)
                   .arg(f.pages);
    }
    out << QStringLiteral("large / small: showNode %1x, until painted %2x, page %3x\n")
               .arg(big.showCall / little.showCall, 0, 'f', 1)
               .arg(big.showPainted / little.showPainted, 0, 'f', 1)
               .arg(big.page / little.page, 0, 'f', 1);
    return 0;
}
