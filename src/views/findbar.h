#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;
struct QueryError;

// The find bar at the bottom of a view window: the query line (its tooltip
// gives the syntax, see EventQuery), the count of matches or the query's
// fault, previous and next buttons, "Show only matches" and a close button.
// It knows no events: its owner evaluates the query when told and reports
// back through showCount() and showError().
//
// Keys in the query line: Enter steps to the next match, Shift+Enter to the
// previous one, Escape closes the bar.
class FindBar : public QWidget
{
    Q_OBJECT
public:
    // Typing pauses this long before the query is evaluated, milliseconds.
    static constexpr int typingPause = 250;

    explicit FindBar(QWidget *parent = nullptr);

    QString query() const;
    bool isFiltering() const;
    QLineEdit *queryEdit() const { return m_edit; }
    QCheckBox *filterBox() const { return m_filter; }
    QLabel *statusLabel() const { return m_status; }

    // Shows the bar with the query selected for typing over.
    void open();
    // "k of n matches" with `current` the 1-based number of the selected
    // match, "n matches" for 0, "No matches" without any; nothing while the
    // query is empty.
    void showCount(int current, int total);
    // The fault in red, the line framed in red; `select` also selects the
    // faulty part of the query.
    void showError(const QueryError &error, bool select);
    // Emits queryChanged() now when typing has not paused yet.
    void flush();
    // Hides the bar and tells closed().
    void dismiss();

signals:
    void queryChanged();
    void stepRequested(bool forward);
    void filterToggled(bool on);
    // The bar was hidden by Escape or its close button.
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setFaulty(bool faulty);

    QLineEdit *m_edit;
    QLabel *m_status;
    QCheckBox *m_filter;
    QToolButton *m_previous;
    QToolButton *m_next;
    QToolButton *m_close;
    QTimer *m_typing;
};
