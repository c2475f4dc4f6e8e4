#include "mainwindow/smartmenu.h"

#include <QAction>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QSettings>
#include <QTabWidget>
#include <QToolBar>
#include <QtTest>

#include <array>
#include <functional>

namespace {

const QStringList titles = {QStringLiteral("File"), QStringLiteral("Tracer"), QStringLiteral("Views")};
constexpr int unknownMode = 7;

QVariant storedMode(const QVariant &write = QVariant())
{
    QSettings store(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
    if (write.isValid())
        store.setValue(QStringLiteral("application/tracer/menu_mode"), write);
    return store.value(QStringLiteral("application/tracer/menu_mode"));
}

// An unknown mode shows the tab row and the menu bar alike.
bool showsTabRow(int mode)
{
    return mode <= 0 || mode > 3;
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
    // What the user sees: menu bar, tab row, then each group's tab, toolbar and enabled menu.
    static QString describe(bool menuBar, bool tabRow, const std::function<std::array<bool, 3>(int)> &group)
    {
        QString text = QStringLiteral("menu bar %1, tab row %2:").arg(int(menuBar)).arg(int(tabRow));
        for (int g = 0; g < 3; ++g) {
            const auto [tab, toolbar, menu] = group(g);
            text += QStringLiteral(" %1[%2%3%4]")
                        .arg(titles[g], QLatin1String(tab ? "tab " : ""),
                             QLatin1String(toolbar ? "toolbar " : ""), QLatin1String(menu ? "menu" : ""));
        }
        return text;
    }
    QString shown() const
    {
        return describe(window.menuBar()->isVisible(), smartMenu->isVisible(), [this](int g) {
            return std::array<bool, 3>{tab(g)->isVisible(), windowToolBar(g)->isVisible(),
                                       menuEntry(g)->isEnabled()};
        });
    }
    // What the table of menu modes asks for.
    static QString expectedFor(int mode, const QList<int> &enabled)
    {
        return describe(mode != 0 && mode != 1, showsTabRow(mode), [&](int g) {
            const bool on = enabled.contains(g);
            return std::array<bool, 3>{on && showsTabRow(mode), on && (mode == 1 || mode == 3), on};
        });
    }
};

} // namespace

class TestSmartMenu : public QObject
{
    Q_OBJECT
private slots:
    void init() { QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview")).clear(); }

    void presentationFollowsTheModeAndTheNextStartBeginsInIt_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("disabled"); // a group disabled before the switch, enabled after it
        QTest::addColumn<int>("to");       // what setMode is asked for; outside the four it is ignored
        QTest::addColumn<int>("mode");
        QTest::newRow("a first start shows every tab and no menu bar and stores Tabs")
            << QVariant() << -1 << -1 << 0;
        QTest::newRow("Tabs mode hides a disabled group's tab; the one before stretches")
            << QVariant(0) << 2 << 9 << 0;
        QTest::newRow("Toolbars mode shows the toolbars of enabled groups only")
            << QVariant(1) << 1 << -1 << 1;
        QTest::newRow("Menus mode greys the menu of a disabled group") << QVariant(2) << 0 << -1 << 2;
        QTest::newRow("an unknown stored mode is kept and shows menu bar and tabs")
            << QVariant(unknownMode) << -1 << -1 << unknownMode;
        QTest::newRow("a negative stored mode is unknown too") << QVariant(-2) << 2 << -1 << -2;
        QTest::newRow("switching from Tabs to Toolbars shows the toolbars") << QVariant(0) << 1 << 1 << 1;
        QTest::newRow("switching from Toolbars to Menus + Toolbars keeps them and shows the menu bar")
            << QVariant(1) << 1 << 3 << 3;
        QTest::newRow("switching from Menus + Toolbars to Menus hides the toolbars")
            << QVariant(3) << 1 << 2 << 2;
        QTest::newRow("switching from Menus to Tabs hides the menu bar and shows the tabs")
            << QVariant(2) << 1 << 0 << 0;
        QTest::newRow("switching from an unknown stored mode to Toolbars hides menu bar and tabs")
            << QVariant(unknownMode) << 1 << 1 << 1;
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
            // The rightmost enabled tab takes the spare width.
            for (const int g : enabled) {
                QCOMPARE(h.tab(g)->sizePolicy().horizontalPolicy(),
                         g == enabled.last() ? QSizePolicy::MinimumExpanding : QSizePolicy::Minimum);
            }
            // Popups are placed at the buttons of the toolbar that shows.
            for (int g = 0; g < 3; ++g) {
                QToolBar *bar = h.smartMenu->groupToolBar(g);
                QCOMPARE(bar, showsTabRow(mode) ? h.tab(g)->widget(0) : h.windowToolBar(g));
                QCOMPARE(bar->iconSize().width(), showsTabRow(mode) ? 24 : 16);
                for (const QWidget *holder :
                     QList<QWidget *>{h.windowToolBar(g), h.tab(g)->widget(0), h.menuEntry(g)->menu()}) {
                    const QList<QAction *> entries = holder->actions();
                    QCOMPARE(entries.size(), 3);
                    QVERIFY(entries[0] == h.actions[g][0] && entries[1]->isSeparator() &&
                            entries[2] == h.actions[g][1]);
                }
            }
            // Enabled in the new mode, a group shows as that mode shows it.
            h.smartMenu->setGroupEnabled(disabled, true);
            QCOMPARE(h.shown(), Harness::expectedFor(mode, {0, 1, 2}));
            QCOMPARE(storedMode().toString(), stored.toString()); // nothing is written before the end
        }
        QCOMPARE(storedMode().toString(), QString::number(mode));
        QCOMPARE(int(Harness().smartMenu->mode()), mode);
    }

    void groupAddedAgainReplacesItsOwnInPlaceAndUnknownIndexesAreIgnored()
    {
        Harness h;
        h.addGroup(1, QStringLiteral("Tools"));
        const QString before = h.shown();
        QAction stray(QStringLiteral("Stray"));
        h.smartMenu->addGroupAction(5, &stray);
        h.smartMenu->addGroupSeparator(-1);
        h.smartMenu->setGroupEnabled(5, false);
        QVERIFY(stray.associatedObjects().isEmpty());
        QCOMPARE(h.smartMenu->groupToolBar(5), nullptr);
        QCOMPARE(h.shown(), before);
        const QStringList expected = {titles[0], QStringLiteral("Tools"), titles[2]};
        for (int g = 0; g < 3; ++g) {
            QCOMPARE(h.tab(g)->tabText(0), expected[g]);
            QCOMPARE(h.menuEntry(g)->text(), expected[g]);
            QCOMPARE(h.smartMenu->groupToolBar(g)->actions().size(), 3);
        }
        QCOMPARE(h.window.findChildren<QToolBar *>(Qt::FindDirectChildrenOnly).size(), 3);
    }
};

QTEST_MAIN(TestSmartMenu)
#include "tst_smartmenu.moc"
