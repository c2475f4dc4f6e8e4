#include "settings/settingswindow.h"

#include "app/tracer.h"
#include "chart/chartsettings.h"
#include "chart/settingsstore.h"
#include "settings/storednumber.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDomDocument>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString attribute(const QDomElement &element, const char *name)
{
    return element.attribute(QLatin1String(name));
}

bool named(const QDomElement &element, const char *name)
{
    return element.tagName() == QLatin1String(name);
}

QString keyOf(const QDomElement &element)
{
    return ChartSettings::keyFor(attribute(element, "id"));
}

// What a spin box shows while the store holds nothing: its layout's default,
// 0 for a box without one.
int spinBoxDefault(const QDomElement &element)
{
    return attribute(element, "default").toInt(nullptr, 10);
}

} // namespace

SettingsWindow::SettingsWindow(QWidget *parent, const QString &layoutPath)
    : QDialog(parent)
    , m_layoutPath(layoutPath)
{
    setWindowTitle(QStringLiteral("Kestrel Settings"));
    setModal(true);
    QIcon icon;
    icon.addFile(QStringLiteral(":/interface/resources/settings_16.png"), QSize(), QIcon::Normal, QIcon::Off);
    setWindowIcon(icon);
    resize(513, 370);

    m_pageTree = new QTreeWidget(this);
    m_pageTree->setObjectName(QStringLiteral("pageTree"));
    m_pageTree->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::MinimumExpanding);
    m_pageTree->setMaximumWidth(150);
    m_pageTree->setHeaderLabel(QStringLiteral("Setting Categories"));

    m_okButton = new QPushButton(QCoreApplication::translate("SettingsWindow", "OK"), this);
    m_okButton->setObjectName(QStringLiteral("settings_OK"));
    m_applyButton = new QPushButton(QCoreApplication::translate("SettingsWindow", "Apply"), this);
    m_applyButton->setObjectName(QStringLiteral("settings_Apply"));
    m_cancelButton = new QPushButton(QCoreApplication::translate("SettingsWindow", "Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("settings_Cancel"));
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_okButton, 0);
    buttonRow->addWidget(m_applyButton, 0);
    buttonRow->addWidget(m_cancelButton, 0);

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("pages"));

    auto *grid = new QGridLayout;
    grid->setContentsMargins(5, 5, 5, 5);
    grid->setSpacing(5);
    grid->addWidget(m_pageTree, 0, 0);
    grid->addWidget(m_pages, 0, 1);
    grid->addLayout(buttonRow, 1, 1, Qt::AlignRight);
    setLayout(grid);

    QSettings store = openSettingsStore();
    const QDomDocument layout = readLayout();
    const QDomElement root = layout.documentElement();
    buildPages(root, nullptr, store, nullptr);

    // Only a top-level entry can be the primary one; when none carries the
    // title, no entry is current.
    const QList<QTreeWidgetItem *> primary = m_pageTree->findItems(
        attribute(root, "primary_section"), Qt::MatchExactly | Qt::MatchCaseSensitive, 0);
    if (!primary.isEmpty())
        m_pageTree->setCurrentItem(primary.first());

    // Connected only now, so the stack stays on page 0 whatever entry is current.
    connect(m_pageTree, &QTreeWidget::currentItemChanged, this,
            &SettingsWindow::on_pageTree_currentItemChanged);
    connect(m_cancelButton, &QPushButton::pressed, this, &QWidget::hide);
    connect(m_applyButton, &QPushButton::pressed, this, &SettingsWindow::on_settings_Apply_pressed);
    connect(m_okButton, &QPushButton::pressed, this, &SettingsWindow::on_settings_OK_pressed);
}

void SettingsWindow::setColorChooser(const ColorBox::ColorChooser &chooser)
{
    for (const QHash<int, QWidget *> &editors : std::as_const(m_settingWidgets)) {
        for (QWidget *widget : editors) {
            if (auto *box = qobject_cast<ColorBox *>(widget))
                box->setColorChooser(chooser);
        }
    }
}

QDomDocument SettingsWindow::readLayout() const
{
    // An unreadable layout leaves the document empty: no pages, nothing to apply.
    QDomDocument document(QStringLiteral("settingsLayout"));
    QFile file(m_layoutPath);
    if (file.open(QIODevice::ReadOnly)) {
        document.setContent(&file);
        file.close();
    }
    return document;
}

void SettingsWindow::buildPages(const QDomElement &element, QBoxLayout *layout, QSettings &store,
                                QTreeWidgetItem *parentEntry)
{
    for (QDomElement child = element.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        if (named(child, "section"))
            addSection(child, parentEntry, store);
        else if (named(child, "group"))
            addGroupBox(child, layout, store);
        else if (named(child, "spinbox"))
            addSpinBox(child, layout, store);
        else if (named(child, "radio"))
            addRadio(child, layout, store);
        else if (named(child, "selectbox"))
            addSelectBox(child, layout, store);
        else if (named(child, "colorbox"))
            addColorBox(child, layout, store);
    }
}

void SettingsWindow::addSection(const QDomElement &element, QTreeWidgetItem *parentEntry, QSettings &store)
{
    auto *page = new QWidget;
    const int index = m_pages->addWidget(page);

    auto *entry = parentEntry ? new QTreeWidgetItem(parentEntry, 0) : new QTreeWidgetItem(m_pageTree, 0);
    entry->setData(0, Qt::UserRole, index);
    entry->setText(0, attribute(element, "title"));

    auto *heading = new QLabel(page);
    QFont font(QStringLiteral("MS Shell Dlg 2"));
    font.setPointSize(18);
    font.setWeight(QFont::Normal);
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    heading->setFont(font);
    heading->setFrameShape(QFrame::NoFrame);
    heading->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    heading->setText(attribute(element, "title"));
    heading->setIndent(10);

    auto *pageLayout = new QVBoxLayout;
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    auto *content = new QVBoxLayout;
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(5);

    buildPages(element, content, store, entry);

    pageLayout->addWidget(heading, 0, Qt::AlignRight | Qt::AlignTop);
    pageLayout->addLayout(content, 0);
    pageLayout->addStretch(1);
    page->setLayout(pageLayout);
}

void SettingsWindow::addGroupBox(const QDomElement &element, QBoxLayout *layout, QSettings &store)
{
    if (!layout)
        return;
    auto *box = new QGroupBox(attribute(element, "title"));
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Set on the box before it is filled, so its radios are siblings (and
    // exclude each other) from the start.
    auto *boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(5, 5, 5, 5);
    boxLayout->setSpacing(5);
    buildPages(element, boxLayout, store, nullptr);
    layout->addWidget(box, 0, Qt::AlignTop);
}

void SettingsWindow::addSpinBox(const QDomElement &element, QBoxLayout *layout, QSettings &store)
{
    if (!layout)
        return;
    auto *box = new QSpinBox;
    if (element.hasAttribute(QStringLiteral("minvalue")))
        box->setMinimum(attribute(element, "minvalue").toInt(nullptr, 10));
    if (element.hasAttribute(QStringLiteral("maxvalue")))
        box->setMaximum(attribute(element, "maxvalue").toInt(nullptr, 10));
    // Out of the box's range, the value shows at the nearer end.
    box->setValue(storedNumber(store.value(keyOf(element), spinBoxDefault(element))));
    addEditorRow(element, layout, box);
    registerEditor(attribute(element, "id"), box, 0);
}

void SettingsWindow::addRadio(const QDomElement &element, QBoxLayout *layout, QSettings &store)
{
    if (!layout)
        return;
    const int value = attribute(element, "value").toInt(nullptr, 10);
    auto *button = new QRadioButton(attribute(element, "title"));
    button->setChecked(value == store.value(keyOf(element), 0).toInt());
    layout->addWidget(button, 0, Qt::AlignTop);
    registerEditor(attribute(element, "id"), button, value);
}

void SettingsWindow::addSelectBox(const QDomElement &element, QBoxLayout *layout, QSettings &store)
{
    if (!layout)
        return;
    auto *box = new QComboBox;
    QString defaultValue;
    for (QDomElement option = element.firstChildElement(QStringLiteral("option")); !option.isNull();
         option = option.nextSiblingElement(QStringLiteral("option"))) {
        box->addItem(attribute(option, "title"), attribute(option, "value"));
        if (attribute(option, "default") == QLatin1String("true"))
            defaultValue = attribute(option, "value");
    }
    const QString stored = store.value(keyOf(element), defaultValue).toString();
    // -1 when no option carries the stored text: nothing is selected.
    box->setCurrentIndex(box->findData(stored, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive));
    addEditorRow(element, layout, box);
    registerEditor(attribute(element, "id"), box, 0);
}

void SettingsWindow::addColorBox(const QDomElement &element, QBoxLayout *layout, QSettings &store)
{
    if (!layout)
        return;
    // Base 0: "0x..." is hexadecimal, a leading 0 octal, anything else decimal.
    const QString defaultText = attribute(element, "default");
    const uint defaultRgb = defaultText.isEmpty() ? 0u : defaultText.toUInt(nullptr, 0);
    const uint stored = store.value(keyOf(element), defaultRgb).toUInt();
    // QColor(QRgb) ignores the top byte: every stored colour shows opaque.
    auto *box = new ColorBox(QColor(QRgb(stored)));
    box->resize(100, 50);
    addEditorRow(element, layout, box);
    registerEditor(attribute(element, "id"), box, 0);
}

void SettingsWindow::addEditorRow(const QDomElement &element, QBoxLayout *layout, QWidget *editor)
{
    editor->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *label = new QLabel(attribute(element, "title"));
    label->setFrameShape(QFrame::NoFrame);
    auto *row = new QHBoxLayout;
    const bool editorRight = attribute(element, "position") == QLatin1String("right");
    row->addWidget(editorRight ? label : editor, 0, Qt::AlignVCenter);
    row->addWidget(editorRight ? editor : label, 0, Qt::AlignVCenter);
    layout->addLayout(row, 0);
}

void SettingsWindow::registerEditor(const QString &id, QWidget *widget, int value)
{
    m_settingWidgets[id][value] = widget;
}

void SettingsWindow::storeValues(const QDomElement &element, QSettings &store, QStringList &changed) const
{
    for (QDomElement child = element.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        if (named(child, "section") || named(child, "group")) {
            storeValues(child, store, changed);
            continue;
        }
        const QString id = attribute(child, "id");
        const QString key = ChartSettings::keyFor(id);
        // The editor is looked up by its expected type: a layout that files two
        // kinds of editor under one id stores only through the matching one.
        if (named(child, "spinbox")) {
            const auto *box = qobject_cast<const QSpinBox *>(editor(id, 0));
            if (box && storedNumber(store.value(key, spinBoxDefault(child))) != box->value()) {
                store.setValue(key, box->value());
                changed.append(id);
            }
        } else if (named(child, "radio")) {
            const int value = attribute(child, "value").toInt(nullptr, 10);
            const auto *button = qobject_cast<const QRadioButton *>(editor(id, value));
            if (button && button->isChecked() && store.value(key, 0).toInt() != value) {
                store.setValue(key, value);
                changed.append(id);
            }
        } else if (named(child, "selectbox")) {
            const auto *box = qobject_cast<const QComboBox *>(editor(id, 0));
            if (!box)
                continue;
            const QString current = box->currentData(Qt::UserRole).toString();
            if (store.value(key, QString()) != QVariant(current)) {
                store.setValue(key, current);
                changed.append(id);
            }
        } else if (named(child, "colorbox")) {
            const auto *box = qobject_cast<const ColorBox *>(editor(id, 0));
            if (box && store.value(key, 0).toUInt() != box->color().rgb()) {
                store.setValue(key, uint(box->color().rgb()));
                changed.append(id);
            }
        }
    }
}

void SettingsWindow::on_pageTree_currentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *)
{
    if (current)
        m_pages->setCurrentIndex(current->data(0, Qt::UserRole).toInt());
}

void SettingsWindow::on_settings_Apply_pressed()
{
    QStringList changed;
    {
        QSettings store = openSettingsStore();
        storeValues(readLayout().documentElement(), store, changed);
    } // written through before anyone hears of the change
    // A dialog without a controller (a tool) has nobody to tell.
    if (theTracer)
        theTracer->updateSettings(changed);
}

void SettingsWindow::on_settings_OK_pressed()
{
    on_settings_Apply_pressed();
    hide();
}
