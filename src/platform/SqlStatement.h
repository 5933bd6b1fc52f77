#pragma once
// A statement text with its values kept apart. Statements of the program are
// composed as text with each value "between apostrophes"; here a value goes to
// the server as a bound parameter instead, so an apostrophe in it can neither
// break nor change the statement. An empty value is written as the literal ''
// so that the empty-literal replacement (every '' of the text becomes NULL)
// still stores empty values as NULL.

#include <QString>
#include <QVariant>
#include <QVariantList>

namespace platform
{

class SqlStatement
{
public:
    SqlStatement() = default;
    SqlStatement(const QString& raw) : m_text(raw) {} // NOLINT: statements read as text
    SqlStatement(const char* raw) : m_text(QString::fromUtf8(raw)) {} // NOLINT

    // Appends statement text as it is (no values in it).
    SqlStatement& operator<<(const QString& raw)
    {
        m_text += raw;
        return *this;
    }
    SqlStatement& operator<<(const char* raw) { return *this << QString::fromUtf8(raw); }
    // Appends a value that the text places between apostrophes: '' when empty.
    SqlStatement& quoted(const QString& value);
    // Appends an integer in decimal.
    SqlStatement& number(qint64 value);
    // Appends "column LIKE 'prefix%'" as an exact prefix test: "_" and "%" in
    // prefix match only themselves.
    SqlStatement& startsWith(const QString& column, const QString& prefix);
    // Appends any value as a bound parameter (dates, numbers, NULL).
    SqlStatement& bind(const QVariant& value);

    // The empty-literal replacement: every pair of adjacent apostrophes in the
    // text, left to right without overlap, becomes nullWord.
    [[nodiscard]] SqlStatement
    emptyLiteralsAs(const QString& nullWord = QStringLiteral("NULL")) const;

    const QString& text() const { return m_text; }
    const QVariantList& values() const { return m_values; }
    bool isEmpty() const { return m_text.trimmed().isEmpty(); }

private:
    QString m_text; // "?" marks each bound value, in order
    QVariantList m_values;
};

// The replacement on a plain text (statements without bound values).
QString ReplaceEmptyLiterals(const QString& text, const QString& nullWord = QStringLiteral("NULL"));

} // namespace platform
