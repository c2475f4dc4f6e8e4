#include "chart/packetinputs.h"

#include "chart/viewroot.h"

QVector<PacketNodeInput> packetInputs(const ViewRoot &root)
{
    QVector<PacketNodeInput> inputs;
    for (const ViewNode *row : root.nodeList()) {
        if (const Node *node = row->node())
            inputs.append({node, row->shift(), EventRange::whole(*node)});
    }
    return inputs;
}
