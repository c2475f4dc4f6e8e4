#include "app/tracer.h"
#include "testsupport.h"
#include "trace/node.h"
#include "trace/project.h"
#include "tracefixture.h"

#include <QTreeWidgetItem>
#include <QtTest>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

namespace {

QByteArray validTrace(int nodeId)
{
    return traceFile(nodeId, "<tasks><task id=\"1\" name=\"Worker\"/></tasks>\n",
                     eventXml(0, 10, 0, 0x101) + eventXml(1, 20, 0, 0x101));
}

int entryCount(QTreeWidgetItem *root)
{
    int count = 0;
    for (int i = 0; i < root->childCount(); ++i)
        count += 1 + entryCount(root->child(i));
    return count;
}

} // namespace

class TestCreateNode : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Tracer> m_tracer;
    QTreeWidgetItem m_root;
    QList<QPair<QMessageBox::Icon, QString>> m_messages;
    int m_dirCount = 0;

    QString newDir() { return QStringLiteral("dir%1").arg(++m_dirCount); }
    QString write(const QString &dir, const QString &name, const QByteArray &contents)
    {
        return TestSupport::writeTempFile(dir, name, contents);
    }

private slots:
    void init()
    {
        m_tracer = std::make_unique<Tracer>();
        m_tracer->initHeadless();
        m_messages.clear();
        m_tracer->setMessageSink([this](QMessageBox::Icon icon, const QString &text) {
            m_messages.append({icon, text});
        });
    }

    void cleanup()
    {
        m_tracer.reset();
        QCOMPARE(m_root.childCount(), 0);
    }

    void validFileBecomesNodeOfItsDirectorysProject()
    {
        const QString dir = newDir();
        const QString path = write(dir, QStringLiteral("a.trace"), validTrace(3));
        Node *node = m_tracer->createNode(path, &m_root, FROM_TRACER);
        QVERIFY(node);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(node->traceFileName(), QStringLiteral("a.trace"));
        QCOMPARE(node->directory(), QFileInfo(path).absolutePath());
        QCOMPARE(node->origin(), int(FROM_TRACER));

        Project *project = m_tracer->project(node->directory());
        QVERIFY(project);
        QCOMPARE(node->project(), project);
        QCOMPARE(project->node(QStringLiteral("a.trace")), node);

        // project > node > Tasks > Worker, Hubs
        QCOMPARE(m_root.childCount(), 1);
        QTreeWidgetItem *projectEntry = m_root.child(0);
        QCOMPARE(projectEntry->text(0), project->path());
        QCOMPARE(projectEntry->data(0, CategoryRole).toInt(), int(TracerItem::PROJECT));
        QTreeWidgetItem *nodeEntry = projectEntry->child(0);
        QCOMPARE(nodeEntry->text(0), QStringLiteral("[3] n3"));
        QCOMPARE(TracerItem::itemFromData(nodeEntry->data(0, ItemRole)), node);
        QCOMPARE(nodeEntry->childCount(), 2);
        QCOMPARE(nodeEntry->child(0)->text(0), QStringLiteral("Tasks"));
        QCOMPARE(nodeEntry->child(0)->data(0, CategoryRole).toInt(), int(TracerItem::TASKS));
        QCOMPARE(nodeEntry->child(1)->text(0), QStringLiteral("Hubs"));
        QCOMPARE(nodeEntry->child(1)->data(0, CategoryRole).toInt(), int(TracerItem::HUBS));
        QCOMPARE(nodeEntry->child(0)->child(0)->text(0), QStringLiteral("Worker"));
    }

    void failedRequestLeavesNothingBehind_data()
    {
        QTest::addColumn<QByteArray>("contents"); // empty: the file is not written
        QTest::addColumn<bool>("asDirectory");
        QTest::addColumn<QString>("message"); // %1: file name, %2: path as passed

        QTest::newRow("a missing file") << QByteArray() << false << "Tracefile '%1' is not exist.";
        QTest::newRow("an empty file") << QByteArray("") << false << "Tracefile '%1' is empty.";
        QTest::newRow("a directory named like a trace file")
            << QByteArray() << true << "Can't open tracefile '%1'.";
        QTest::newRow("a task without name")
            << traceFile(1, "<tasks>\n<task id=\"1\"/>\n</tasks>\n", QByteArray()) << false
            << "Attribute 'name' is not found in the <task> tag. Parsing has been stopped.\nLine: 4, column: "
               "13";
    }

    void failedRequestLeavesNothingBehind()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, asDirectory);
        QFETCH(QString, message);

        const QString dir = newDir();
        QString path =
            TestSupport::sandboxPath() + QStringLiteral("/files/") + dir + QStringLiteral("/x.trace");
        if (asDirectory)
            QVERIFY(QDir().mkpath(path));
        else if (!contents.isNull())
            path = write(dir, QStringLiteral("x.trace"), contents);

        QVERIFY(!m_tracer->createNode(path, &m_root, FROM_TRACER));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.at(0).first, QMessageBox::Warning);
        QCOMPARE(m_messages.at(0).second, message.arg(QStringLiteral("x.trace"), path));
        QVERIFY(m_tracer->projects().isEmpty());
        QCOMPARE(m_root.childCount(), 0);
    }

    void whitespaceOnlyFilePassesSizeCheckAndIsRejectedByReader()
    {
        const QString path = write(newDir(), QStringLiteral("blank.trace"), "   \n\n  ");
        QVERIFY(!m_tracer->createNode(path, &m_root, FROM_TRACER));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.at(0).second != QStringLiteral("Tracefile 'blank.trace' is empty."));
        QVERIFY(m_tracer->projects().isEmpty());
        QCOMPARE(m_root.childCount(), 0);
    }

    void sameFileTwiceIsRefused()
    {
        const QString path = write(newDir(), QStringLiteral("a.trace"), validTrace(1));
        QVERIFY(m_tracer->createNode(path, &m_root, FROM_TRACER));
        const int entries = entryCount(&m_root);
        QVERIFY(!m_tracer->createNode(path, &m_root, FROM_TRACER));
        QCOMPARE(m_messages.value(0).second,
                 QStringLiteral("Tracefile 'a.trace' already is opened as Node."));
        QCOMPARE(entryCount(&m_root), entries);
        QCOMPARE(m_tracer->projects().size(), 1);
    }

    void secondFileWithSameIdInOneDirectoryIsRefused()
    {
        const QString dir = newDir();
        QVERIFY(
            m_tracer->createNode(write(dir, QStringLiteral("a.trace"), validTrace(7)), &m_root, FROM_TRACER));
        const int entries = entryCount(&m_root);
        QVERIFY(!m_tracer->createNode(write(dir, QStringLiteral("b.trace"), validTrace(7)), &m_root,
                                      FROM_TRACER));
        QCOMPARE(m_messages.value(0).second,
                 QStringLiteral("Tracefile 'b.trace' has ID:7 that already is in use in current project."));
        QCOMPARE(entryCount(&m_root), entries);
        Project *project = m_tracer->projects().begin()->data();
        QCOMPARE(project->nodeCount(), 1);
        QVERIFY(project->node(QStringLiteral("a.trace")));
    }

    void sameIdOrSameNameInOtherDirectoriesLoads()
    {
        const QString first = write(newDir(), QStringLiteral("a.trace"), validTrace(7));
        const QString second = write(newDir(), QStringLiteral("a.trace"), validTrace(7));
        QVERIFY(m_tracer->createNode(first, &m_root, FROM_TRACER));
        QVERIFY(m_tracer->createNode(second, &m_root, FROM_TRACER));
        QCOMPARE(m_tracer->projects().size(), 2);
        QCOMPARE(m_root.childCount(), 2);
        QVERIFY(m_messages.isEmpty());
    }

    void missingFileInOpenProjectLeavesProjectUnchanged()
    {
        const QString dir = newDir();
        const QString path = write(dir, QStringLiteral("a.trace"), validTrace(1));
        QVERIFY(m_tracer->createNode(path, &m_root, FROM_TRACER));
        const int entries = entryCount(&m_root);
        QVERIFY(!m_tracer->createNode(QFileInfo(path).absolutePath() + QStringLiteral("/gone.trace"), &m_root,
                                      FROM_TRACER));
        QCOMPARE(m_messages.value(0).second, QStringLiteral("Tracefile 'gone.trace' is not exist."));
        QCOMPARE(entryCount(&m_root), entries);
        QCOMPARE(m_tracer->projects().begin()->data()->nodeCount(), 1);
    }

    void failureInExistingProjectKeepsTheProject()
    {
        const QString dir = newDir();
        QVERIFY(
            m_tracer->createNode(write(dir, QStringLiteral("a.trace"), validTrace(1)), &m_root, FROM_TRACER));
        const int entries = entryCount(&m_root);
        QVERIFY(
            !m_tracer->createNode(write(dir, QStringLiteral("b.trace"), "<node/>"), &m_root, FROM_TRACER));
        QCOMPARE(entryCount(&m_root), entries);
        QCOMPARE(m_tracer->projects().size(), 1);
    }

    void unknownOriginFailsSilently()
    {
        QVERIFY(!m_tracer->createNode(QStringLiteral("/nonexistent/x.trace"), &m_root, 7));
        QVERIFY(m_messages.isEmpty());
        QVERIFY(!m_tracer->createNode(QStringLiteral("/nonexistent/x.trace"), &m_root, FROM_RECEIVER));
        QCOMPARE(m_messages.size(), 1);
    }

    void removingNodesAndProjectsTidiesTheTree()
    {
        const QString dir = newDir();
        Node *a =
            m_tracer->createNode(write(dir, QStringLiteral("a.trace"), validTrace(1)), &m_root, FROM_TRACER);
        Node *b =
            m_tracer->createNode(write(dir, QStringLiteral("b.trace"), validTrace(2)), &m_root, FROM_TRACER);
        QVERIFY(a && b);
        Project *project = a->project();
        QCOMPARE(project->treeItem()->childCount(), 2);

        QSignalSpy under(project, &Project::nodeUnderRemoving);
        QSignalSpy removed(project, &Project::nodeWasRemoved);
        QPointer<Node> watch(a);
        QCOMPARE(project->removeNode(a), 1);
        QVERIFY(watch.isNull());
        QCOMPARE(under.size(), 1);
        QCOMPARE(removed.value(0).value(0).toString(), QStringLiteral("a.trace"));
        QCOMPARE(project->treeItem()->childCount(), 1);

        m_tracer->setCurTracerItem(b, TracerItem::NODE, 0, 0);
        QSignalSpy projectGoing(project, &Project::projectUnderRemoving);
        m_tracer->removeProject(project);
        QCOMPARE(projectGoing.size(), 1);
        QVERIFY(m_tracer->projects().isEmpty());
        QCOMPARE(m_root.childCount(), 0);
        QVERIFY(!m_tracer->curTracerItem());
    }
};

QTEST_MAIN(TestCreateNode)
#include "tst_createnode.moc"
