#include "views/findbar.h"

#include "trace/queryterm.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

namespace {

const QString faultyFrame = QStringLiteral("QLineEdit { border: 1px solid #D00000; }");

QString syntaxHelp()
{
    return QStringLiteral(
        "<p>Finds events of the current node. Terms separated by spaces must all match:</p>"
        "<table>"
        "<tr><td><b>type:</b>ServiceRequest</td><td>event type: name (L1_/SYNC_ and _ optional) or "
        "code</td></tr>"
        "<tr><td><b>service:</b>Start_Task</td><td>service requests and completions: name or id</td></tr>"
        "<tr><td><b>task:</b>Idle</td><td>events while the task ran: name or id</td></tr>"
        "<tr><td><b>hub:</b>Mailbox</td><td>hub service requests on the hub: name or id</td></tr>"
        "<tr><td><b>arg1:</b>0x10 <b>arg2:</b>-3</td><td>decoded argument</td></tr>"
        "<tr><td><b>seq:</b>17</td><td>sync events of the packet sequence number</td></tr>"
        "<tr><td><b>time:</b>100..2ms</td><td>timestamp, usec, or with us, ms, s</td></tr>"
        "<tr><td>word, \"a phrase\"</td><td>text in the row's cells or its type or service name</td></tr>"
        "</table>"
        "<p>Numbers take ranges (5..9, ..9, 5..); commas join alternatives (type:1,-1); "
        "quotes hold spaces (task:\"Rx task\").</p>"
        "<p>Enter or F3: next match; Shift+Enter or Shift+F3: previous; Escape: close.</p>");
}

QToolButton *flatButton(const QString &text, const QString &tooltip)
{
    auto *button = new QToolButton;
    button->setText(text);
    button->setToolTip(tooltip);
    button->setAutoRaise(true);
    return button;
}

} // namespace

FindBar::FindBar(QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit)
    , m_status(new QLabel)
    , m_filter(new QCheckBox(QStringLiteral("Show only matches")))
    , m_previous(flatButton(QStringLiteral("\u25B2"), QStringLiteral("Previous match (Shift+F3)")))
    , m_next(flatButton(QStringLiteral("\u25BC"), QStringLiteral("Next match (F3)")))
    , m_close(flatButton(QString(), QStringLiteral("Close (Escape)")))
    , m_typing(new QTimer(this))
{
    m_edit->setPlaceholderText(QStringLiteral("Find events: type:ServiceRequest task:Idle \"text\""));
    m_edit->setToolTip(syntaxHelp());
    m_edit->setClearButtonEnabled(true);
    m_edit->installEventFilter(this);
    m_close->setIcon(QIcon(QStringLiteral(":/interface/resources/close_16.png")));
    m_status->setMinimumWidth(
        m_status->fontMetrics().horizontalAdvance(QStringLiteral("00000 of 00000 matches")));
    m_typing->setSingleShot(true);
    m_typing->setInterval(typingPause);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(4);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_previous);
    layout->addWidget(m_next);
    layout->addWidget(m_status);
    layout->addWidget(m_filter);
    layout->addWidget(m_close);

    connect(m_edit, &QLineEdit::textChanged, m_typing, qOverload<>(&QTimer::start));
    connect(m_typing, &QTimer::timeout, this, &FindBar::queryChanged);
    connect(m_previous, &QToolButton::clicked, this, [this] {
        flush();
        emit stepRequested(false);
    });
    connect(m_next, &QToolButton::clicked, this, [this] {
        flush();
        emit stepRequested(true);
    });
    connect(m_filter, &QCheckBox::toggled, this, &FindBar::filterToggled);
    connect(m_close, &QToolButton::clicked, this, &FindBar::dismiss);
}

QString FindBar::query() const
{
    return m_edit->text();
}

bool FindBar::isFiltering() const
{
    return m_filter->isChecked();
}

void FindBar::open()
{
    show();
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
}

void FindBar::showCount(int current, int total)
{
    setFaulty(false);
    if (m_edit->text().trimmed().isEmpty())
        m_status->clear();
    else if (total == 0)
        m_status->setText(QStringLiteral("No matches"));
    else if (current > 0)
        m_status->setText(QStringLiteral("%1 of %2 matches").arg(current).arg(total));
    else
        m_status->setText(QStringLiteral("%1 matches").arg(total));
}

void FindBar::showError(const QueryError &error, bool select)
{
    setFaulty(true);
    m_status->setText(error.text);
    if (select)
        m_edit->setSelection(error.position, error.length);
}

void FindBar::flush()
{
    if (!m_typing->isActive())
        return;
    m_typing->stop();
    emit queryChanged();
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_edit || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Escape) {
        dismiss();
        return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        flush();
        emit stepRequested(!(key->modifiers() & Qt::ShiftModifier));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::dismiss()
{
    m_typing->stop();
    hide();
    emit closed();
}

void FindBar::setFaulty(bool faulty)
{
    m_edit->setStyleSheet(faulty ? faultyFrame : QString());
    QPalette palette = m_status->palette();
    palette.setColor(QPalette::WindowText,
                     faulty ? QColor(0xD0, 0x00, 0x00) : this->palette().color(QPalette::WindowText));
    m_status->setPalette(palette);
}
