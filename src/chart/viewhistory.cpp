#include "chart/viewhistory.h"

void ViewHistory::push(std::vector<Entry> &steps, const Entry &entry)
{
    if (int(steps.size()) >= capacity)
        steps.erase(steps.begin());
    steps.push_back(entry);
}

void ViewHistory::leave(const Entry &current)
{
    push(m_back, current);
    m_forward.clear();
}

std::optional<ViewHistory::Entry> ViewHistory::back(const Entry &current)
{
    if (m_back.empty())
        return std::nullopt;
    const Entry entry = m_back.back();
    m_back.pop_back();
    push(m_forward, current);
    return entry;
}

std::optional<ViewHistory::Entry> ViewHistory::forward(const Entry &current)
{
    if (m_forward.empty())
        return std::nullopt;
    const Entry entry = m_forward.back();
    m_forward.pop_back();
    push(m_back, current);
    return entry;
}
