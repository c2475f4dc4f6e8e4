#pragma once

#include "trace/queryterm.h"

#include <QString>

#include <optional>
#include <vector>

class Node;

// Turns the text of an event query into terms, looking names up in the node
// (see EventQuery for the syntax). Stops at the first fault.
class QueryParser
{
public:
    QueryParser(const QString &query, const Node &node);

    // The terms in the order written; none when the query is faulty, and
    // then error() says why.
    std::vector<QueryTerm> parse();
    const QueryError &error() const { return m_error; }

private:
    // A value or a word: its text, where it starts in the query, whether it was quoted.
    struct Token
    {
        QString text;
        int position = 0;
        bool quoted = false;
    };

    std::optional<Token> readToken(int &at);
    bool parseValues(QueryTerm &term, const Token &token);
    bool parseItem(QueryTerm &term, const QString &item, int position);
    // Names of the field's kind that equal `item`, added to the term; false for none.
    bool addNamed(QueryTerm &term, const QString &item) const;
    std::optional<QueryTerm::Range> parseRange(const QString &item, int position, bool time);
    std::optional<qint64> parseNumber(const QString &text, int position, bool time);
    QueryTerm textTerm(const QString &words) const;
    bool fail(const QString &text, int position, int length);

    const QString m_query;
    const Node &m_node;
    QueryError m_error;
};
