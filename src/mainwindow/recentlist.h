#pragma once

#include <QString>

#include <functional>

class QMenu;
class QObject;

// A recent list: the entries of a submenu, newest first, kept within a limit
// that the settings dialog changes. The store holds the list as a settings
// array whose first element is the newest entry ("<array>/1/<field>").
class RecentList
{
public:
    // Where a list lives in the store and what its entries show.
    struct Kind
    {
        const char *array;    // key of the settings array
        const char *field;    // key of an entry's text within its array element
        const char *limitKey; // setting whose change rebuilds the list
        const char *icon;     // file of the interface resources for every entry
    };

    // `owner` parents the entries; `limit` is asked each time it applies.
    RecentList(const Kind &kind, QMenu *menu, QObject *owner, std::function<int()> limit);

    QMenu *menu() const { return m_menu; }
    // The newest entry's text; empty for an empty list.
    QString newest() const;

    // Moves the entry of this text to the top, or adds one there and drops the
    // oldest entries beyond the limit. A limit of 0 or less adds nothing.
    void add(const QString &text);
    // Appends at most the limit of stored entries, newest first.
    void load();
    void save() const;
    // When `key` is this list's limit: writes the list and reads it back
    // within the new limit, so dropped entries stay dropped when it rises again.
    void applySettingChange(const QString &key);

private:
    void clear();

    Kind m_kind;
    QMenu *m_menu;
    QObject *m_owner;
    std::function<int()> m_limit;
};
