#include "mainwindow/smartmenu.h"
#include "testsupport.h"

#include <QAction>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolBar>
#include <QtTest>

namespace {

QString storedMode(const QVariant &write = QVariant())
{
    QSettings store = TestSupport::settingsStore();
    if (write.isValid())
        store.setValue(QStringLiteral("application/tracer/menu_mode"), write);
    return store.value(QStringLiteral("application/tracer/menu_mode")).toString();
}

// An unknown mode shows the tab row and the menu bar alike.
bool showsTabRow(int mode)
{
    return mode <= 0 || mode > 3;
}

// A shown main window with the SmartMenu as its top widget; groups A, B and C, added out of order,
// hold two actions each with a separator between them.
struct Harness
{
    QMainWindow window;
    SmartMenu *smartMenu = new SmartMenu(&window, &window);

    Harness()
    {
        window.setCentralWidget(smartMenu);
        for (const int g : {2, 0, 1})
            addGroup(g, QString(QLatin1Char('A' + g)));
        window.show();
    }
    void addGroup(int g, const QString &title)
    {
        smartMenu->addGroup(g, QIcon(), title);
        smartMenu->addGroupAction(g, new QAction(title + QLatin1Char('1'), &window));
        smartMenu->addGroupSeparator(g);
        smartMenu->addGroupAction(g, new QAction(title + QLatin1Char('2'), &window));
    }
    // The row and the menu bar keep the groups in index order.
    QTabWidget *tab(int g) const
    {
        return static_cast<QTabWidget *>(smartMenu->layout()->itemAt(g)->widget());
    }
    QAction *menuEntry(int g) const { return window.menuBar()->actions().at(g); }
    QToolBar *windowToolBar(int g) const
    {
        for (QToolBar *bar : window.findChildren<QToolBar *>(Qt::FindDirectChildrenOnly)) {
            if (bar->actions().first() == menuEntry(g)->menu()->actions().first())
                return bar;
        }
        return nullptr;
    }
    // Menu bar and tab row shown, then per group: tab shown, toolbar shown, menu enabled.
    QString shown() const
    {
        QString text = QStringLiteral("%1%2").arg(window.menuBar()->isVisible()).arg(smartMenu->isVisible());
        for (const int g : {0, 1, 2})
            text += QStringLiteral(" %1%2%3")
                        .arg(tab(g)->isVisible())
                        .arg(windowToolBar(g)->isVisible())
                        .arg(menuEntry(g)->isEnabled());
        return text;
    }
    static QString expectedFor(int mode, const QList<int> &enabled)
    {
        QString text = QStringLiteral("%1%2").arg(mode != 0 && mode != 1).arg(showsTabRow(mode));
        for (const int g : {0, 1, 2}) {
            const bool on = enabled.contains(g);
            text += QStringLiteral(" %1%2%3")
                        .arg(on && showsTabRow(mode))
                        .arg(on && (mode == 1 || mode == 3))
                        .arg(on);
        }
        return text;
    }
};

} // namespace

class TestSmartMenu : public QObject
{
    Q_OBJECT
private slots:
    void init() { TestSupport::settingsStore().clear(); }

    void presentationFollowsTheModeAndTheNextStartBeginsInIt_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("disabled"); // a group disabled before the switch, enabled after it
        QTest::addColumn<int>("to");       // what setMode is asked for; outside the four it is ignored
        QTest::addColumn<int>("mode");
        QTest::newRow("a first start shows Tabs, hiding a disabled group's tab, the one before stretching")
            << QVariant() << 2 << 9 << 0;
        QTest::newRow("an unknown stored mode is kept, shows menu bar and tabs")
            << QVariant(7) << -1 << -1 << 7;
        QTest::newRow("from Tabs to Toolbars shows enabled groups' toolbars") << QVariant(0) << 1 << 1 << 1;
        QTest::newRow("from Toolbars to Menus + Toolbars adds the menu bar") << QVariant(1) << 1 << 3 << 3;
        QTest::newRow("from Menus + Toolbars to Menus greys a disabled menu") << QVariant(3) << 0 << 2 << 2;
        QTest::newRow("from Menus to Tabs swaps the menu bar for the tabs") << QVariant(2) << 1 << 0 << 0;
    }

    void presentationFollowsTheModeAndTheNextStartBeginsInIt()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, disabled);
        QFETCH(int, to);
        QFETCH(int, mode);
        storedMode(stored);
        {
            Harness h;
            h.smartMenu->setGroupEnabled(disabled, false);
            h.smartMenu->setMode(to);
            QList<int> enabled = {0, 1, 2};
            enabled.removeOne(disabled);
            QCOMPARE(int(h.smartMenu->mode()), mode);
            QCOMPARE(h.shown(), Harness::expectedFor(mode, enabled));
            for (const int g : enabled) {
                // The rightmost enabled tab takes the spare width.
                QCOMPARE(h.tab(g)->sizePolicy().horizontalPolicy(),
                         g == enabled.last() ? QSizePolicy::MinimumExpanding : QSizePolicy::Minimum);
                // Popups are placed at the buttons of the toolbar that shows.
                QToolBar *bar = h.smartMenu->groupToolBar(g);
                QCOMPARE(bar, showsTabRow(mode) ? h.tab(g)->widget(0) : h.windowToolBar(g));
                QCOMPARE(bar->iconSize().width(), showsTabRow(mode) ? 24 : 16);
            }
            // Enabled in the new mode, a group shows as that mode shows it.
            h.smartMenu->setGroupEnabled(disabled, true);
            QCOMPARE(h.shown(), Harness::expectedFor(mode, {0, 1, 2}));
            QCOMPARE(storedMode(), stored.toString()); // nothing is written before the end
        }
        QCOMPARE(storedMode(), QString::number(mode));
        QCOMPARE(int(Harness().smartMenu->mode()), mode);
    }

    void eachGroupShowsItsActionsInToolbarTabAndMenuInIndexOrder()
    {
        Harness h;
        // Tab title, menu title, then the actions of toolbar, tab and menu.
        QStringList texts;
        for (const int g : {0, 1, 2}) {
            texts << h.tab(g)->tabText(0) << h.menuEntry(g)->text();
            for (const QWidget *holder :
                 QList<QWidget *>{h.windowToolBar(g), h.tab(g)->widget(0), h.menuEntry(g)->menu()}) {
                for (const QAction *action : holder->actions())
                    texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
            }
        }
        QCOMPARE(texts.join(QLatin1Char(' ')),
                 QStringLiteral("A A A1 | A2 A1 | A2 A1 | A2 B B B1 | B2 B1 | B2 B1 | B2 "
                                "C C C1 | C2 C1 | C2 C1 | C2"));
    }
};

QTEST_MAIN(TestSmartMenu)
#include "tst_smartmenu.moc"
