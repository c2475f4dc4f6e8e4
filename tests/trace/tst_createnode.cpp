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

// Every entry under `root` as "text|category", indented by depth.
QStringList entries(const QTreeWidgetItem *root, const QString &indent = QString())
{
    QStringList texts;
    for (int i = 0; i < root->childCount(); ++i) {
        const QTreeWidgetItem *entry = root->child(i);
        texts << indent + entry->text(0) + QLatin1Char('|') + entry->data(0, CategoryRole).toString();
        texts << entries(entry, indent + QLatin1Char(' '));
    }
    return texts;
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
        const QString path = write(newDir(), QStringLiteral("a.trace"), validTrace(3));
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

        const auto entry = [](const QString &text, int category) {
            return text + QLatin1Char('|') + QString::number(category);
        };
        QCOMPARE(entries(&m_root), QStringList({entry(project->path(), TracerItem::PROJECT),
                                                entry(QStringLiteral(" [3] n3"), TracerItem::NODE),
                                                entry(QStringLiteral("  Tasks"), TracerItem::TASKS),
                                                entry(QStringLiteral("   Worker"), TracerItem::TASK),
                                                entry(QStringLiteral("  Hubs"), TracerItem::HUBS)}));
        QCOMPARE(TracerItem::itemFromData(m_root.child(0)->child(0)->data(0, ItemRole)), node);
    }

    void failedRequestLeavesNothingBehind_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("message");
        QTest::newRow("an empty file is refused by its size")
            << QByteArray() << "Tracefile 'x.trace' is empty.";
        QTest::newRow("a blank file passes the size check and is refused by the reader")
            << QByteArray("   \n\n  ") << "unexpected end of file\nLine: 3, column: 3";
    }

    void failedRequestLeavesNothingBehind()
    {
        QFETCH(QByteArray, contents);
        const QString path = write(newDir(), QStringLiteral("x.trace"), contents);
        QVERIFY(!m_tracer->createNode(path, &m_root, FROM_TRACER));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.at(0).first, QMessageBox::Warning);
        QTEST(m_messages.at(0).second, "message");
        QVERIFY(m_tracer->projects().isEmpty());
        QCOMPARE(m_root.childCount(), 0);
    }

    void secondFileInOneDirectoryIsRefused_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("nodeId");
        QTest::addColumn<QString>("message");
        QTest::newRow("the same file twice")
            << "a.trace" << 7 << "Tracefile 'a.trace' already is opened as Node.";
        QTest::newRow("another file with the same node id")
            << "b.trace" << 7 << "Tracefile 'b.trace' has ID:7 that already is in use in current project.";
    }

    void secondFileInOneDirectoryIsRefused()
    {
        QFETCH(QString, second);
        QFETCH(int, nodeId);
        const QString dir = newDir();
        QVERIFY(
            m_tracer->createNode(write(dir, QStringLiteral("a.trace"), validTrace(7)), &m_root, FROM_TRACER));
        const QStringList before = entries(&m_root);
        QVERIFY(!m_tracer->createNode(write(dir, second, validTrace(nodeId)), &m_root, FROM_TRACER));
        QTEST(m_messages.value(0).second, "message");
        QCOMPARE(entries(&m_root), before);
        QCOMPARE(m_tracer->projects().size(), 1);
        QVERIFY(m_tracer->projects().begin()->data()->node(QStringLiteral("a.trace")));
    }

    void sameIdOrSameNameInOtherDirectoriesLoads()
    {
        for (int i = 0; i < 2; ++i)
            QVERIFY(m_tracer->createNode(write(newDir(), QStringLiteral("a.trace"), validTrace(7)), &m_root,
                                         FROM_TRACER));
        QCOMPARE(m_tracer->projects().size(), 2);
        QCOMPARE(m_root.childCount(), 2);
        QVERIFY(m_messages.isEmpty());
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
