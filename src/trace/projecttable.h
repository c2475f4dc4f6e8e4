#pragma once

#include "trace/node.h"

#include <QHash>
#include <QSharedPointer>
#include <QString>

#include <memory>

class EventCatalogue;
class NodeParse;
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
    // The checks load() makes before it reads: throws its message when the
    // file is missing, no regular file, empty or already open.
    void check(const QString &path) const;
    // What load() does once it has read the file, for a file read beforehand
    // into `parse` (perhaps off the main thread) and checked just now: the
    // read's own failure, with its colours drawn, or the node-id clash is
    // thrown as load() throws it; otherwise the node joins its project.
    Node *adopt(NodeParse &parse, QTreeWidgetItem *parentEntry);
    // Drops the project and with it its nodes; null is ignored.
    void remove(Project *project);
    void clear();

    const QHash<QString, QSharedPointer<Project>> &projects() const { return m_projects; }
    Project *project(const QString &directory) const { return m_projects.value(directory).data(); }

private:
    // The project of `directory`; a new one, made under `parentEntry`, goes to `newProject`.
    Project *projectFor(const QString &directory, QTreeWidgetItem *parentEntry,
                        std::unique_ptr<Project> &newProject) const;
    // Adds the node read under `newProject` (when made for it) or its own
    // project, unless that project has its node id already.
    Node *add(std::unique_ptr<Node> node, std::unique_ptr<Project> newProject);

    QHash<QString, QSharedPointer<Project>> m_projects;
};
