#pragma once

#include "chart/activityprofile.h"

#include <QtGlobal>

#include <vector>

class Node;
class ViewRoot;

// The activity profiles of one view's nodes for the overview strip, kept
// between paints: a node's profile is computed again only when the node in
// its row, its shift, the view's length or the strip's width changed.
class OverviewActivity
{
public:
    // One profile per row of `root`, in the order of its nodes, over
    // `columns` columns of its whole linear length.
    const std::vector<ActivityProfile> &profiles(const ViewRoot &root, int columns);
    // How many profiles were computed since this cache was made.
    int computations() const { return m_computations; }

private:
    struct Key
    {
        const Node *node = nullptr;
        int shift = 0;     // microseconds
        qint64 length = 0; // microseconds
        int columns = 0;
        bool operator==(const Key &other) const
        {
            return node == other.node && shift == other.shift && length == other.length &&
                   columns == other.columns;
        }
    };

    std::vector<Key> m_keys;
    std::vector<ActivityProfile> m_profiles;
    int m_computations = 0;
};
