#pragma once

#include "trace/traceritem.h"

struct TraceEvent;

// A task of a node: a chart row, the subject of the node's events and an
// entry under the node's "Tasks" folder.
class Task : public NodeItem
{
    Q_OBJECT
public:
    enum TaskRole { KERNEL = 0, IDLE = 1, TX_TASK = 2, RX_TASK = 3, ISR = 4, USER_TASK = 5, UNKNOWN = 6 };
    // Passed to the constructor instead of a role: derive it from the name.
    static constexpr int ROLE_FROM_NAME = 255;

    // A colour equal to black stands for "none given": a kernel task becomes
    // white, any other task a random light colour.
    Task(int id, const QString &name, Node *node, int role, const QColor &colour);

    static TaskRole roleFromName(const QString &name);
    // The upper-case name of a role, empty for a number that is none.
    static QString roleName(int role);
    QString roleName() const { return roleName(m_role); }
    TaskRole role() const { return m_role; }

    quint32 executionTime() const { return m_executionTime; } // microseconds
    quint32 logExecutionTime() const { return m_logExecutionTime; }
    quint32 activationTime() const { return m_activationTime; } // timestamp of the first activation
    float share() const { return m_share; }                     // percent of the node's total time

    // The task table for TASK, the table of the node's event data1 for
    // TASK_EVENT (left empty when the node has no such event), nothing else.
    void fillProperties(TracerItemCategory category, QTableWidget *table, int data1, int data2) override;

private:
    friend class Node;

    TaskRole m_role;
    quint32 m_executionTime = 0;
    quint32 m_logExecutionTime = 0;
    quint32 m_activationTime = 0;
    float m_share = 0;
};

// Default colour of items read without one: each component 191..255 from three
// rand() calls in blue, green, red order.
QColor randomLightColour();
// Draws `count` such colours and drops them: leaves the rand() sequence as a
// read that made items and then failed leaves it.
void skipLightColours(int count);
