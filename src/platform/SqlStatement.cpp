#include "SqlStatement.h"

namespace platform
{

SqlStatement& SqlStatement::quoted(const QString& value)
{
    if (value.isEmpty()) {
        m_text += QStringLiteral("''");
        return *this;
    }
    return bind(value);
}

SqlStatement& SqlStatement::number(qint64 value)
{
    m_text += QString::number(value);
    return *this;
}

SqlStatement& SqlStatement::startsWith(const QString& column, const QString& prefix)
{
    QString pattern;
    pattern.reserve(prefix.size() + 1);
    for (QChar c : prefix) {
        if (c == u'!' || c == u'%' || c == u'_')
            pattern += u'!';
        pattern += c;
    }
    pattern += u'%';
    m_text += column + QStringLiteral(" LIKE ");
    bind(pattern);
    m_text += QStringLiteral(" ESCAPE '!'");
    return *this;
}

SqlStatement& SqlStatement::bind(const QVariant& value)
{
    m_text += u'?';
    m_values.append(value);
    return *this;
}

QString ReplaceEmptyLiterals(const QString& text, const QString& nullWord)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\'' && i + 1 < text.size() && text[i + 1] == u'\'') {
            out += nullWord;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

SqlStatement SqlStatement::emptyLiteralsAs(const QString& nullWord) const
{
    SqlStatement s;
    s.m_text = ReplaceEmptyLiterals(m_text, nullWord);
    s.m_values = m_values;
    return s;
}

} // namespace platform
