#pragma once

#include "trace/packetstatistics.h"

#include <QString>

// The nodes as an SQLite database, on the common time axis the inputs place
// them on (aligned_time: offset + shift, microseconds). Tables: nodes, tasks,
// hubs, services, events (every stored event of each input's range with its
// derived values, activations and call pairing as the statistics find them)
// and packets (one row per leg of a packet's route, see PacketLeg); events
// are indexed by node and time, packets by each end's node and time. The
// manual's "SQLite export" section lists the columns.
namespace SqliteExport {

// Writes into the database file at `path`, which must hold no tables yet.
// Returns the driver's error text, empty on success.
QString write(const QString &path, const QVector<PacketNodeInput> &inputs);

} // namespace SqliteExport
