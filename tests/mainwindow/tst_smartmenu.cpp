#include "mainwindow/smartmenu.h"

#include <QAction>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QSettings>
#include <QTabWidget>
#include <QToolBar>
#include <QtTest>

namespace {

const QStringList modeNames = {QStringLiteral("Tabs"), QStringLiteral("Toolbars"), QStringLiteral("Menus"),
                               QStringLiteral("Menus + Toolbars")};
const QStringList titles = {QStringLiteral("File"), QStringLiteral("Tracer"), QStringLiteral("Views")};
constexpr int unknownMode = 7;

QVariant storedMode(const QVariant &write = QVariant())
{
    QSettings store(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
    if (write.isValid())
        store.setValue(QStringLiteral("application/tracer/menu_mode"), write);
    return store.value(QStringLiteral("application/tracer/menu_mode"));
}

// A shown main window with the SmartMenu as its top widget; every group holds
// two actions with a separator between them.
struct Harness
{
    QMainWindow window;
    SmartMenu *smartMenu = new SmartMenu(&window, &window);
    QMap<int, QList<QAction *>> actions;

    Harness()
    {
        window.setCentralWidget(smartMenu);
        for (int g = 0; g < 3; ++g)
            addGroup(g, titles[g]);
        window.show();
    }
    void addGroup(int g, const QString &title)
    {
        smartMenu->addGroup(g, QIcon(), title);
        actions[g] = {new QAction(title, &window), new QAction(title, &window)};
        smartMenu->addGroupAction(g, actions[g][0]);
        smartMenu->addGroupSeparator(g);
        smartMenu->addGroupAction(g, actions[g][1]);
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
            if (bar->actions().contains(actions[g][0]))
                return bar;
        }
        return nullptr;
    }
};

QString presentation(bool menuBar, bool tabRow, const QStringList &tabs, const QStringList &toolbars,
                     const QStringList &menus)
{
    return QStringLiteral("menu bar %1, tab row %2, tabs [%3], toolbars [%4], enabled menus [%5]")
        .arg(QString::number(menuBar), QString::number(tabRow), tabs.join(QLatin1Char(' ')),
             toolbars.join(QLatin1Char(' ')), menus.join(QLatin1Char(' ')));
}

// What the user sees of the three groups.
QString shown(const Harness &h)
{
    QStringList tabs, toolbars, menus;
    for (int g = 0; g < 3; ++g) {
        if (h.tab(g)->isVisible())
            tabs << titles[g];
        if (h.windowToolBar(g)->isVisible())
            toolbars << titles[g];
        if (h.menuEntry(g)->isEnabled())
            menus << titles[g];
    }
    return presentation(h.window.menuBar()->isVisible(), h.smartMenu->isVisible(), tabs, toolbars, menus);
}

bool showsTabRow(int mode)
{
    return mode == 0 || mode < 0 || mode > 3;
}

// The table of menu modes; an unknown mode shows menu bar and tab row alike.
QString expectedFor(int mode, const QList<int> &enabled)
{
    QStringList on;
    for (const int g : enabled)
        on << titles[g];
    return presentation(mode != 0 && mode != 1, showsTabRow(mode), showsTabRow(mode) ? on : QStringList(),
                        mode == 1 || mode == 3 ? on : QStringList(), on);
}

} // namespace

class TestSmartMenu : public QObject
{
    Q_OBJECT
private slots:
    void init() { QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview")).clear(); }

    void startsInTheStoredModesPresentation_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("disabled");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("stretching");
        QTest::newRow("a first start shows every tab and no menu bar") << QVariant() << -1 << 0 << 2;
        QTest::newRow("Tabs mode hides a disabled group's tab; the one before stretches")
            << QVariant(0) << 2 << 0 << 1;
        QTest::newRow("Toolbars mode shows the toolbars of enabled groups only")
            << QVariant(1) << 1 << 1 << 2;
        QTest::newRow("Menus mode greys the menu of a disabled group") << QVariant(2) << 0 << 2 << 2;
        QTest::newRow("Menus + Toolbars mode shows both for enabled groups") << QVariant(3) << 1 << 3 << 2;
        QTest::newRow("an unknown stored mode is kept and shows menu bar and tabs")
            << QVariant(unknownMode) << -1 << unknownMode << 2;
        QTest::newRow("a negative stored mode is unknown too") << QVariant(-2) << 2 << -2 << 1;
        QTest::newRow("a stored text that is no number reads as Tabs")
            << QVariant(QStringLiteral("menus")) << -1 << 0 << 2;
    }
    void startsInTheStoredModesPresentation()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, disabled);
        QFETCH(int, mode);
        QFETCH(int, stretching);
        storedMode(stored);
        Harness h;
        h.smartMenu->setGroupEnabled(disabled, false);
        QList<int> enabled = {0, 1, 2};
        enabled.removeOne(disabled);

        QCOMPARE(int(h.smartMenu->mode()), mode);
        QCOMPARE(shown(h), expectedFor(mode, enabled));
        for (const int g : enabled) {
            QCOMPARE(h.tab(g)->sizePolicy().horizontalPolicy(),
                     g == stretching ? QSizePolicy::MinimumExpanding : QSizePolicy::Minimum);
        }
        // Popups are placed at the buttons of the toolbar that shows.
        for (int g = 0; g < 3; ++g) {
            QToolBar *bar = h.smartMenu->groupToolBar(g);
            QCOMPARE(bar, showsTabRow(mode) ? h.tab(g)->widget(0) : h.windowToolBar(g));
            QCOMPARE(bar->iconSize().width(), showsTabRow(mode) ? 24 : 16);
            const QList<QWidget *> holders = {h.windowToolBar(g), h.tab(g)->widget(0),
                                              h.menuEntry(g)->menu()};
            for (const QWidget *holder : holders) {
                const QList<QAction *> entries = holder->actions();
                QCOMPARE(entries.size(), 3);
                QCOMPARE(entries[0], h.actions[g][0]);
                QVERIFY(entries[1]->isSeparator());
                QCOMPARE(entries[2], h.actions[g][1]);
            }
        }
    }

    void switchingGivesTheNewModesPresentation_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("mode");
        for (const int from : {0, 1, 2, 3, unknownMode}) {
            for (int to = 0; to < 4; ++to) {
                if (to != from)
                    QTest::addRow("switching from %s to %s shows the new presentation",
                                  qPrintable(modeNames.value(from, QStringLiteral("an unknown stored mode"))),
                                  qPrintable(modeNames[to]))
                        << from << to << to;
            }
        }
        QTest::newRow("switching to an unknown mode keeps Toolbars") << 1 << 9 << 1;
        QTest::newRow("switching to a negative mode keeps Menus") << 2 << -1 << 2;
    }
    void switchingGivesTheNewModesPresentation()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, mode);
        storedMode(from);
        Harness h;
        // Disabled in the old mode: its toolbar and tab must stay hidden in the new one.
        h.smartMenu->setGroupEnabled(1, false);

        h.smartMenu->setMode(to);
        QCOMPARE(int(h.smartMenu->mode()), mode);
        QCOMPARE(shown(h), expectedFor(mode, {0, 2}));

        h.smartMenu->setGroupEnabled(1, true);
        QCOMPARE(shown(h), expectedFor(mode, {0, 1, 2}));
    }

    void quittingStoresTheModeForTheNextStart_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("switchTo");
        QTest::addColumn<int>("expected");
        QTest::newRow("quitting in Menus after a first start restarts in Menus") << QVariant() << 2 << 2;
        QTest::newRow("quitting in Tabs after Toolbars restarts in Tabs") << QVariant(1) << 0 << 0;
        QTest::newRow("a first start without a switch stores Tabs") << QVariant() << -1 << 0;
        QTest::newRow("an unknown stored mode survives a run without a switch")
            << QVariant(unknownMode) << -1 << unknownMode;
    }
    void quittingStoresTheModeForTheNextStart()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, switchTo);
        QFETCH(int, expected);
        storedMode(stored);
        {
            Harness h;
            if (switchTo != -1)
                h.smartMenu->setMode(switchTo);
            QCOMPARE(storedMode().toString(), stored.toString()); // nothing is written before the end
        }
        QCOMPARE(storedMode().toString(), QString::number(expected));
        QCOMPARE(int(Harness().smartMenu->mode()), expected);
    }

    void addingAnIndexAgainReplacesItsGroupInPlace()
    {
        Harness h;
        h.addGroup(1, QStringLiteral("Tools"));

        const QStringList expected = {titles[0], QStringLiteral("Tools"), titles[2]};
        for (int g = 0; g < 3; ++g) {
            QCOMPARE(h.tab(g)->tabText(0), expected[g]);
            QCOMPARE(h.menuEntry(g)->text(), expected[g]);
        }
        QCOMPARE(h.window.findChildren<QToolBar *>(Qt::FindDirectChildrenOnly).size(), 3);
    }

    void unknownGroupIndexesAreIgnored()
    {
        Harness h;
        const QString before = shown(h);
        QAction stray(QStringLiteral("Stray"));
        h.smartMenu->addGroupAction(5, &stray);
        h.smartMenu->addGroupSeparator(-1);
        h.smartMenu->setGroupEnabled(5, false);

        QVERIFY(stray.associatedObjects().isEmpty());
        QCOMPARE(h.smartMenu->groupToolBar(5), nullptr);
        QCOMPARE(shown(h), before);
        for (int g = 0; g < 3; ++g)
            QCOMPARE(h.smartMenu->groupToolBar(g)->actions().size(), 3);
    }
};

QTEST_MAIN(TestSmartMenu)
#include "tst_smartmenu.moc"
