#pragma once

#include "trace/node.h"

#include <QHash>
#include <QSharedPointer>
#include <QString>

class EventCatalogue;
class Project;
class QTreeWidgetItem;

// The open projects, keyed by absolute directory path, and the one way a
// trace file joins them: every check a file must pass before it becomes a
// node of its directory's project.
class ProjectTable
{
public:
    ProjectTable() = default;
    ProjectTable(const ProjectTable &) = delete;
    ProjectTable &operator=(const ProjectTable &) = delete;
    ~ProjectTable();

    // Loads the trace file at `path` as a node of the project of its
    // directory, made (under `parentEntry`) when there is none. Throws the
    // finished user message as a QString when the file is missing, no
    // regular file, empty, already open, unreadable, or names a node id the
    // project already has; nothing of the attempt survives that.
    Node *load(const QString &path, QTreeWidgetItem *parentEntry, int origin, const EventCatalogue *catalogue,
               const Node::LoadProgress &progress = {});
    // Drops the project and with it its nodes; null is ignored.
    void remove(Project *project);
    void clear();

    const QHash<QString, QSharedPointer<Project>> &projects() const { return m_projects; }
    Project *project(const QString &directory) const { return m_projects.value(directory).data(); }

private:
    QHash<QString, QSharedPointer<Project>> m_projects;
};
