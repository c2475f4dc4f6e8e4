#pragma once

#include "settings/colorbox.h"

#include <QDialog>
#include <QHash>
#include <QString>
#include <QStringList>

class QBoxLayout;
class QDomDocument;
class QDomElement;
class QPushButton;
class QSettings;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

// The preferences dialog. Every page, group and editor is generated from the
// settings layout, and Apply walks the same layout to store what changed and
// announce it through theTracer. OK and Cancel only hide the dialog.
class SettingsWindow : public QDialog
{
    Q_OBJECT
public:
    // Reads the store as it is now; `layoutPath` names the layout document,
    // the compiled-in one unless a test brings its own.
    explicit SettingsWindow(QWidget *parent = nullptr,
                            const QString &layoutPath = QStringLiteral(":/other/resources/settings.xml"));

    QTreeWidget *pageTree() const { return m_pageTree; }
    QStackedWidget *pages() const { return m_pages; }
    // The editor of a setting id: a radio button under its own value, every
    // other editor under 0. Null when the layout has none.
    QWidget *editor(const QString &id, int value = 0) const
    {
        return m_settingWidgets.value(id).value(value);
    }

    // Replaces the colour dialog of every colour box.
    void setColorChooser(const ColorBox::ColorChooser &chooser);

private slots:
    void on_pageTree_currentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);
    void on_settings_Apply_pressed();
    void on_settings_OK_pressed();

private:
    QDomDocument readLayout() const;
    void buildPages(const QDomElement &element, QBoxLayout *layout, QSettings &store,
                    QTreeWidgetItem *parentEntry);
    void addSection(const QDomElement &element, QTreeWidgetItem *parentEntry, QSettings &store);
    void addGroupBox(const QDomElement &element, QBoxLayout *layout, QSettings &store);
    void addSpinBox(const QDomElement &element, QBoxLayout *layout, QSettings &store);
    void addRadio(const QDomElement &element, QBoxLayout *layout, QSettings &store);
    void addSelectBox(const QDomElement &element, QBoxLayout *layout, QSettings &store);
    void addColorBox(const QDomElement &element, QBoxLayout *layout, QSettings &store);
    void addEditorRow(const QDomElement &element, QBoxLayout *layout, QWidget *editor);
    void registerEditor(const QString &id, QWidget *widget, int value);
    // Writes every editor whose value differs from the stored one and appends
    // its id to `changed`, depth-first in document order.
    void storeValues(const QDomElement &element, QSettings &store, QStringList &changed) const;

    QString m_layoutPath;
    QTreeWidget *m_pageTree = nullptr;
    QStackedWidget *m_pages = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_applyButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    // setting id -> value -> editor
    QHash<QString, QHash<int, QWidget *>> m_settingWidgets;
};
