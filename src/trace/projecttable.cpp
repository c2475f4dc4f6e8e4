#include "trace/projecttable.h"

#include "trace/nodeparse.h"
#include "trace/project.h"
#include "trace/task.h"

#include <QFileInfo>

#include <memory>

ProjectTable::~ProjectTable()
{
    clear();
}

Node *ProjectTable::load(const QString &path, QTreeWidgetItem *parentEntry, int origin,
                         const EventCatalogue *catalogue, const Node::LoadProgress &progress)
{
    check(path);
    std::unique_ptr<Project> newProject;
    Project *const project = projectFor(QFileInfo(path).absolutePath(), parentEntry, newProject);
    // Declared after the project it may make: the node goes first on a
    // throw, as its entries hang under the project's.
    auto node = std::make_unique<Node>(path, project, origin, catalogue, progress);
    return add(std::move(node), std::move(newProject));
}

void ProjectTable::check(const QString &path) const
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!info.exists())
        throw QStringLiteral("Tracefile '%1' is not exist.").arg(name);
    // A directory, FIFO or device (also behind a link) has no size to test
    // and may block or never end; only a regular file can hold a trace.
    if (!info.isFile())
        throw QStringLiteral("Can't open tracefile '%1'.").arg(name);
    if (info.size() == 0)
        throw QStringLiteral("Tracefile '%1' is empty.").arg(name);
    const Project *project = m_projects.value(info.absolutePath()).data();
    if (project && project->node(name))
        throw QStringLiteral("Tracefile '%1' already is opened as Node.").arg(name);
}

Node *ProjectTable::adopt(NodeParse &parse, QTreeWidgetItem *parentEntry)
{
    std::unique_ptr<Project> newProject;
    std::unique_ptr<Node> node = parse.takeNode();
    if (!node) {
        skipLightColours(parse.colourDraws());
        throw parse.problem();
    }
    node->attach(projectFor(node->directory(), parentEntry, newProject));
    return add(std::move(node), std::move(newProject));
}

Project *ProjectTable::projectFor(const QString &directory, QTreeWidgetItem *parentEntry,
                                  std::unique_ptr<Project> &newProject) const
{
    if (Project *project = m_projects.value(directory).data())
        return project;
    newProject = std::make_unique<Project>(directory, parentEntry);
    return newProject.get();
}

Node *ProjectTable::add(std::unique_ptr<Node> node, std::unique_ptr<Project> newProject)
{
    Project *const project = node->project();
    if (!newProject && project->containsNodeId(node->nodeId())) {
        const QString name = node->traceFileName();
        const int id = node->nodeId();
        // Its entries hang under the project's.
        node.reset();
        throw QStringLiteral("Tracefile '%1' has ID:%2 that already is in use in current project.")
            .arg(name)
            .arg(id);
    }
    Node *const added = node.release();
    project->addNode(added);
    if (newProject)
        m_projects.insert(project->path(), QSharedPointer<Project>(newProject.release()));
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
