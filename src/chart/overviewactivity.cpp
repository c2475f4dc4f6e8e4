#include "chart/overviewactivity.h"

#include "chart/overviewscale.h"
#include "chart/viewroot.h"

const std::vector<ActivityProfile> &OverviewActivity::profiles(const ViewRoot &root, int columns)
{
    const std::vector<QSharedPointer<ViewNode>> &rows = root.nodes();
    const OverviewScale scale(root.lengthLin(), columns);
    m_keys.resize(rows.size());
    m_profiles.resize(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const Key key{rows[i]->node(), rows[i]->shift(), scale.length(), scale.columns()};
        if (key == m_keys[i] && m_profiles[i].shares.size() == size_t(scale.columns()))
            continue;
        m_keys[i] = key;
        m_profiles[i] = key.node ? ActivityProfile::of(*key.node, key.shift, scale) : ActivityProfile();
        if (!key.node)
            m_profiles[i].shares.assign(size_t(scale.columns()), 0.0f);
        ++m_computations;
    }
    return m_profiles;
}
