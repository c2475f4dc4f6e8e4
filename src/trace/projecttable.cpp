#include "trace/projecttable.h"

#include "trace/project.h"

#include <QFileInfo>

#include <memory>

ProjectTable::~ProjectTable()
{
    clear();
}

Node *ProjectTable::load(const QString &path, QTreeWidgetItem *parentEntry, int origin,
                         const EventCatalogue *catalogue, const Node::LoadProgress &progress)
{
    const QFileInfo info(path);
    const QString directory = info.absolutePath();
    const QString name = info.fileName();
    if (!info.exists())
        throw QStringLiteral("Tracefile '%1' is not exist.").arg(name);
    // A directory, FIFO or device (also behind a link) has no size to test
    // and may block or never end; only a regular file can hold a trace.
    if (!info.isFile())
        throw QStringLiteral("Can't open tracefile '%1'.").arg(name);
    if (info.size() == 0)
        throw QStringLiteral("Tracefile '%1' is empty.").arg(name);

    Project *project = m_projects.value(directory).data();
    if (project && project->node(name))
        throw QStringLiteral("Tracefile '%1' already is opened as Node.").arg(name);
    std::unique_ptr<Project> newProject;
    if (!project) {
        newProject = std::make_unique<Project>(directory, parentEntry);
        project = newProject.get();
    }
    // Declared after the project it may make: the node goes first on a
    // throw, as its entries hang under the project's.
    auto node = std::make_unique<Node>(path, project, origin, catalogue, progress);
    if (!newProject && project->containsNodeId(node->nodeId()))
        throw QStringLiteral("Tracefile '%1' has ID:%2 that already is in use in current project.")
            .arg(name)
            .arg(node->nodeId());
    Node *const added = node.release();
    project->addNode(added);
    if (newProject)
        m_projects.insert(directory, QSharedPointer<Project>(newProject.release()));
    return added;
}

void ProjectTable::remove(Project *project)
{
    if (project)
        m_projects.remove(project->path());
}

void ProjectTable::clear()
{
    m_projects.clear();
}
