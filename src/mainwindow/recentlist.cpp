#include "mainwindow/recentlist.h"

#include "chart/settingsstore.h"
#include "mainwindow/interfaceicon.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

RecentList::RecentList(const Kind &kind, QMenu *menu, QObject *owner, std::function<int()> limit)
    : m_kind(kind)
    , m_menu(menu)
    , m_owner(owner)
    , m_limit(std::move(limit))
{}

QString RecentList::newest() const
{
    const QList<QAction *> entries = m_menu->actions();
    return entries.isEmpty() ? QString() : entries.first()->text();
}

void RecentList::add(const QString &text)
{
    const QList<QAction *> entries = m_menu->actions();
    for (QAction *entry : entries) {
        if (entry->text() != text)
            continue;
        if (entry != entries.first()) {
            m_menu->removeAction(entry);
            m_menu->insertAction(entries.first(), entry);
        }
        return;
    }
    const int limit = m_limit();
    if (limit <= 0)
        return;
    // A list read before the limit was lowered may hold more than it allows.
    QList<QAction *> kept = entries;
    while (kept.size() >= limit) {
        QAction *oldest = kept.takeLast();
        m_menu->removeAction(oldest);
        delete oldest;
    }
    m_menu->insertAction(kept.value(0, nullptr), new QAction(interfaceIcon(m_kind.icon), text, m_owner));
}

void RecentList::load()
{
    QSettings store = openSettingsStore();
    const int count = qMin(store.beginReadArray(QLatin1String(m_kind.array)), m_limit());
    const QIcon icon = interfaceIcon(m_kind.icon);
    for (int i = 0; i < count; ++i) {
        store.setArrayIndex(i);
        const QString text = store.value(QLatin1String(m_kind.field)).toString();
        // An entry without text would only ever open "nothing".
        if (!text.isEmpty())
            m_menu->addAction(new QAction(icon, text, m_owner));
    }
    store.endArray();
}

void RecentList::save() const
{
    QSettings store = openSettingsStore();
    store.beginWriteArray(QLatin1String(m_kind.array));
    const QList<QAction *> entries = m_menu->actions();
    for (int i = 0; i < entries.size(); ++i) {
        store.setArrayIndex(i);
        store.setValue(QLatin1String(m_kind.field), entries.at(i)->text());
    }
    store.endArray();
}

void RecentList::applySettingChange(const QString &key)
{
    if (key != QLatin1String(m_kind.limitKey))
        return;
    save();
    clear();
    load();
}

// The entries belong to the owner, so clearing the menu alone would keep them
// until the program ends.
void RecentList::clear()
{
    const QList<QAction *> entries = m_menu->actions();
    m_menu->clear();
    qDeleteAll(entries);
}
