#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QRect>
#include <QString>

#include <optional>

class QPainter;

// What a time ruler shows over its ticks: the measuring cursors' handles, the
// time between them and the bookmarks' flags. x in the strip's pixels.
struct RulerMarks
{
    struct Handle
    {
        int x = 0;
        QString label; // "A" or "B"
        QColor color;
    };
    struct Flag
    {
        int x = 0;
        QString name;
    };

    QList<Handle> handles;
    QString delta; // shown between the first two handles; empty for none
    QList<Flag> flags;
    QList<int> matches; // the find bar's matches, one x per pixel column

    // A handle's half width, pixels: a press this near its x grabs it.
    static constexpr int handleReach = 6;

    // Draws the marks over a painted ruler strip; nothing left of `left`.
    void paint(QPainter &painter, const QFont &font, const QRect &strip, int left) const;

private:
    void paintMatches(QPainter &painter, const QRect &strip) const;
    void paintFlags(QPainter &painter, const QRect &strip) const;
    void paintHandles(QPainter &painter, const QRect &strip) const;
    void paintDelta(QPainter &painter, const QRect &strip, int chartLeft) const;
};
