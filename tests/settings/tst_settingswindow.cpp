#include "app/tracer.h"
#include "settings/settingswindow.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using TestSupport::settingsStore;

namespace {

// Every preference in the store as text, the form a value has once it has been to disk.
QVariantMap storedSettings()
{
    QSettings store = settingsStore();
    store.beginGroup(QStringLiteral("settings"));
    QVariantMap values;
    for (const QString &id : store.childKeys())
        values.insert(id, store.value(id).toString());
    return values;
}

void showAt(SettingsWindow &dialog, int page)
{
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.pages()->setCurrentIndex(page);
    QCoreApplication::processEvents(); // lays the page out
}

// The buttons act when the mouse button goes down: no release follows.
void press(SettingsWindow &dialog, const QString &button)
{
    QTest::mousePress(dialog.findChild<QPushButton *>(button), Qt::LeftButton);
}

} // namespace

class TestSettingsWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        settingsStore().clear();
        // A started program has seeded the recent limits before any dialog opens.
        m_tracer = std::make_unique<Tracer>();
        m_tracer->initHeadless();
    }

    void cleanup() { m_tracer.reset(); }

    void opensOnFilesAndEveryEntryShowsItsPageHeadedTopRightIn18Points()
    {
        SettingsWindow dialog;
        QVERIFY(!dialog.windowIcon().isNull() && dialog.pages()->currentIndex() == 0);
        QCOMPARE(dialog.windowTitle() + QLatin1Char('|') + dialog.pageTree()->currentItem()->text(0),
                 QStringLiteral("Kestrel Settings|Files"));
        QCOMPARE(dialog.size(), QSize(513, 370));
        const QList<QTreeWidgetItem *> entries =
            dialog.pageTree()->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive);
        QStringList paths;
        for (const QTreeWidgetItem *entry : entries)
            paths.append(entry->parent() ? entry->parent()->text(0) + QLatin1Char('/') + entry->text(0)
                                         : entry->text(0));
        QCOMPARE(paths.join(QLatin1Char('|')),
                 QStringLiteral("Files|View|View/EventChart Look|View/EventChart Display|View/Navigation"));

        showAt(dialog, 0);
        // From the last entry back, so that every step switches the page.
        for (int page = entries.size() - 1; page >= 0; --page) {
            dialog.pageTree()->setCurrentItem(entries.at(page));
            QCOMPARE(dialog.pages()->currentIndex(), page);
            QCoreApplication::processEvents();
            const QWidget *shown = dialog.pages()->currentWidget();
            const auto *heading = qobject_cast<const QLabel *>(shown->layout()->itemAt(0)->widget());
            QCOMPARE(heading->text(), entries.at(page)->text(0));
            QVERIFY(heading->font().pointSize() == 18 &&
                    heading->geometry().topRight() == QPoint(shown->width() - 1, 0));
        }
    }

    void editorShowsItsStoredValueOnItsSideOfItsTitle_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("editorRight");
        QTest::addColumn<QVariant>("stored"); // invalid: absent
        QTest::addColumn<QVariant>("shown");  // the number, the option index or the colour
        const QString style = QStringLiteral("packet_receive_arrow_style");
        const QString styleTitle = QStringLiteral("Receive arrow style:");
        QTest::newRow("a spin box without position stands left of its title and shows the seeded limit")
            << QStringLiteral("recent_nodes_max_count") << QStringLiteral("items shown in Recent Nodes menu")
            << false << QVariant() << QVariant(5);
        QTest::newRow("an unstored spin box with a default in the layout shows its default")
            << QStringLiteral("cursor_snap_distance") << QStringLiteral("Snapping distance (pixels):") << true
            << QVariant() << QVariant(5);
        QTest::newRow("a select box positioned right shows dashdotted as dash-dotted")
            << style << styleTitle << true << QVariant(QStringLiteral("dashdotted")) << QVariant(3);
        QTest::newRow("a style no option carries, in other case, selects none")
            << style << styleTitle << true << QVariant(QStringLiteral("Dotted")) << QVariant(-1);
        QTest::newRow("a colour written as text, as it comes back from disk, shows without its top byte")
            << QStringLiteral("syncmarker_color") << QStringLiteral("syncMarker color:") << true
            << QVariant(QString::number(0x1200FF00u)) << QVariant(QColor(0, 255, 0));
    }

    void editorShowsItsStoredValueOnItsSideOfItsTitle()
    {
        QFETCH(QString, id);
        QFETCH(QString, title);
        QFETCH(bool, editorRight);
        QFETCH(QVariant, stored);
        if (stored.isValid())
            settingsStore().setValue(QStringLiteral("settings/") + id, stored);
        SettingsWindow dialog;
        QWidget *editor = dialog.editor(id);
        int page = 0;
        while (page < dialog.pages()->count() && !dialog.pages()->widget(page)->isAncestorOf(editor))
            ++page;
        showAt(dialog, page);
        QVERIFY(editor->isVisible());
        const QList<QLabel *> labels = editor->parentWidget()->findChildren<QLabel *>();
        const auto label = std::find_if(labels.cbegin(), labels.cend(),
                                        [&](const QLabel *candidate) { return candidate->text() == title; });
        QVERIFY(label != labels.cend());
        const QRect at = editor->geometry();
        QCOMPARE(
            (QList<bool>{at.left() > (*label)->geometry().right(), at.right() < (*label)->geometry().left()}),
            (QList<bool>{editorRight, !editorRight}));

        if (auto *box = qobject_cast<ColorBox *>(editor)) {
            QTEST(QVariant(box->color()), "shown");
            QCOMPARE(box->grab().toImage().pixelColor(0, 0), box->color()); // no frame is drawn
        } else if (auto *spin = qobject_cast<QSpinBox *>(editor)) {
            QTEST(QVariant(spin->value()), "shown");
        } else {
            QTEST(QVariant(qobject_cast<QComboBox *>(editor)->currentIndex()), "shown");
        }
    }

    void buttonsStoreAnnounceAndHide_data()
    {
        QTest::addColumn<bool>("appliedBefore");
        QTest::addColumn<QString>("button");     // pressed after choosing Striped swimlines
        QTest::addColumn<QStringList>("writes"); // "id=stored value", in the order announced
        QTest::addColumn<bool>("visible");
        // Colours are stored as opaque 0xAARRGGBB numbers.
        const QStringList eight = QStringLiteral("packet_arrow_width=1 packet_transmit_arrow_style=solid "
                                                 "packet_receive_arrow_style=solid syncmarker_color=%1 "
                                                 "usermarker_color=%2 packet_transmit_arrow_color=%3 "
                                                 "packet_receive_arrow_color=%4 show_syncmarker_icons=show "
                                                 "show_time_ruler=show show_overview=show")
                                      .arg(0xFFFF0080u)
                                      .arg(0xFFFF8000u)
                                      .arg(0xFF008000u)
                                      .arg(0xFF000080u)
                                      .split(QLatin1Char(' '));
        const QStringList striped{QStringLiteral("node_swimlines_schema=2")};
        QTest::newRow("Apply after an Apply writes and announces only the change")
            << true << QStringLiteral("settings_Apply") << striped << true;
        QTest::newRow("Cancel after a change writes and announces nothing and hides")
            << false << QStringLiteral("settings_Cancel") << QStringList() << false;
        QTest::newRow(
            "OK writes and announces the change, then the unstored settings in layout order, and hides")
            << false << QStringLiteral("settings_OK") << striped + eight << false;
    }

    void buttonsStoreAnnounceAndHide()
    {
        QFETCH(bool, appliedBefore);
        QFETCH(QString, button);
        QFETCH(QStringList, writes);
        SettingsWindow dialog;
        showAt(dialog, 2);
        if (appliedBefore)
            press(dialog, QStringLiteral("settings_Apply"));
        qobject_cast<QRadioButton *>(dialog.editor(QStringLiteral("node_swimlines_schema"), 2))->click();
        const QVariantMap before = storedSettings();
        QSignalSpy spy(theTracer, &Tracer::settingsUpdatingNotify);

        press(dialog, button);
        const QVariantMap after = storedSettings();
        QStringList heard;
        for (const QList<QVariant> &arguments : std::as_const(spy))
            heard.append(arguments.at(0).toString() + QLatin1Char('=') +
                         after.value(arguments.at(0).toString()).toString());
        QCOMPARE(heard, writes);
        int changed = 0;
        for (auto it = after.cbegin(); it != after.cend(); ++it)
            changed += before.value(it.key()) != it.value();
        QCOMPARE(changed, writes.size());
        QTEST(dialog.isVisible(), "visible");
    }

    void colourBoxAsksForAColourOnAnyButton_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QColor>("answer");
        QTest::addColumn<QColor>("shown");
        QTest::newRow("cancelling the colour dialog keeps the box's colour")
            << int(Qt::LeftButton) << QColor() << QColor(255, 0, 128);
        QTest::newRow(
            "a right click takes the chosen colour; a translucent one shows as it is stored, opaque")
            << int(Qt::RightButton) << QColor(0, 0, 255, 100) << QColor(Qt::blue);
    }

    void colourBoxAsksForAColourOnAnyButton()
    {
        QFETCH(int, button);
        QFETCH(QColor, answer);
        QFETCH(QColor, shown);
        SettingsWindow dialog;
        auto *box = qobject_cast<ColorBox *>(dialog.editor(QStringLiteral("syncmarker_color")));
        QStringList asked;
        dialog.setColorChooser([&](const QColor &from, QWidget *parent, const QString &title) {
            asked << QStringLiteral("%1 from %2 over its page %3")
                         .arg(title, from.name())
                         .arg(parent == box->parentWidget());
            return answer;
        });
        showAt(dialog, 2);
        QTest::mousePress(box, Qt::MouseButton(button));

        QCOMPARE(asked, QStringList{QStringLiteral("Color Selection from #ff0080 over its page 1")});
        press(dialog, QStringLiteral("settings_Apply"));
        QCOMPARE((QStringList{box->color().name(QColor::HexArgb),
                              storedSettings().value(QStringLiteral("syncmarker_color")).toString()}),
                 (QStringList{shown.name(QColor::HexArgb), QString::number(shown.rgb())}));
    }

private:
    std::unique_ptr<Tracer> m_tracer;
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settingswindow.moc"
