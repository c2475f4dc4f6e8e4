#pragma once

#include "trace/packetstatistics.h"

class ViewRoot;

// The packet statistics input of a view: every viewed node with a node, in
// the view's order, whole, at its current shift (dragged shifts included).
QVector<PacketNodeInput> packetInputs(const ViewRoot &root);
