#include "FormText.h"

#include "Error.h"

#include <QLocale>
#include <cctype>
#include <cmath>

namespace editing
{

using platform::Error;

namespace
{

enum class TokenKind { End, Word, Integer, Float, Text, Binary, Symbol };

struct Token {
    TokenKind kind = TokenKind::End;
    QString text; // Word, Symbol, the string of Text
    qint64 integer = 0;
    double real = 0;
    ValueType type = ValueType::Null; // Float: its type; Text: String, WString or Utf8String
    QByteArray bytes;
    int line = 1;
};

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == '_' || c == '.';
}

class Lexer
{
public:
    explicit Lexer(const QString& text) : m_text(text) { advance(); }

    const Token& peek() const { return m_token; }
    Token next()
    {
        Token t = m_token;
        advance();
        return t;
    }
    [[noreturn]] void fail(const QString& message) const { failAt(m_token.line, message); }
    [[noreturn]] static void failAt(int line, const QString& message)
    {
        throw Error(QString(formtext::kErrorAt).arg(line).arg(message));
    }

private:
    QChar at(qsizetype i) const { return i < m_text.size() ? m_text[i] : QChar(); }

    void skipBlanks()
    {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace()) {
            if (m_text[m_pos] == '\n')
                ++m_line;
            ++m_pos;
        }
    }

    void advance()
    {
        skipBlanks();
        m_token = Token();
        m_token.line = m_line;
        if (m_pos >= m_text.size())
            return;
        const QChar c = m_text[m_pos];
        if ((c == 'W' || c == 'U') && at(m_pos + 1) == '\'') {
            ++m_pos;
            readText(c == 'W' ? ValueType::WString : ValueType::Utf8String);
        } else if (c == '\'' || c == '#') {
            readText(ValueType::String);
        } else if (c.isDigit() || c == '$' ||
                   (c == '-' && (at(m_pos + 1).isDigit() || at(m_pos + 1) == '$'))) {
            readNumber();
        } else if (c == '{') {
            readBinary();
        } else if (IsWordChar(c)) {
            const qsizetype start = m_pos;
            while (m_pos < m_text.size() && IsWordChar(m_text[m_pos]))
                ++m_pos;
            m_token.kind = TokenKind::Word;
            m_token.text = m_text.mid(start, m_pos - start);
        } else {
            m_token.kind = TokenKind::Symbol;
            m_token.text = c;
            ++m_pos;
        }
    }

    // Quoted pieces and #nnn codes, adjacent or joined with "+".
    void readText(ValueType type)
    {
        m_token.kind = TokenKind::Text;
        m_token.type = type;
        for (;;) {
            if (at(m_pos) == '\'') {
                ++m_pos;
                for (;;) {
                    if (m_pos >= m_text.size() || m_text[m_pos] == '\n')
                        fail(formtext::kUnterminatedString);
                    if (m_text[m_pos] == '\'') {
                        if (at(m_pos + 1) != '\'')
                            break;
                        ++m_pos;
                    }
                    m_token.text += m_text[m_pos++];
                }
                ++m_pos;
            } else if (at(m_pos) == '#') {
                const qsizetype start = ++m_pos;
                while (at(m_pos).isDigit())
                    ++m_pos;
                bool ok = false;
                const uint code = m_text.mid(start, m_pos - start).toUInt(&ok);
                if (!ok || code > 0xFFFF)
                    fail(formtext::kBadCharacterCode);
                m_token.text += QChar(char16_t(code));
            } else {
                // A "+" continues the text on the next piece.
                const qsizetype save = m_pos;
                const int saveLine = m_line;
                skipBlanks();
                if (at(m_pos) == '+') {
                    ++m_pos;
                    skipBlanks();
                    if (at(m_pos) == '\'' || at(m_pos) == '#')
                        continue;
                }
                m_pos = save;
                m_line = saveLine;
                return;
            }
        }
    }

    void readNumber()
    {
        const qsizetype start = m_pos;
        if (at(m_pos) == '-')
            ++m_pos;
        if (at(m_pos) == '$') {
            ++m_pos;
            while (at(m_pos).isLetterOrNumber())
                ++m_pos;
            QString digits = m_text.mid(start, m_pos - start).remove('$');
            bool ok = false;
            m_token.kind = TokenKind::Integer;
            m_token.integer = digits.toLongLong(&ok, 16);
            if (!ok)
                fail(QString(formtext::kBadNumber).arg(m_text.mid(start, m_pos - start)));
            return;
        }
        bool isFloat = false;
        while (at(m_pos).isDigit() || at(m_pos) == '.' || at(m_pos) == 'e' || at(m_pos) == 'E' ||
               ((at(m_pos) == '-' || at(m_pos) == '+') &&
                (at(m_pos - 1) == 'e' || at(m_pos - 1) == 'E'))) {
            isFloat = isFloat || !at(m_pos).isDigit();
            ++m_pos;
        }
        const QString number = m_text.mid(start, m_pos - start);
        ValueType floatType = ValueType::Extended;
        const QChar suffix = at(m_pos);
        if (suffix == 's' || suffix == 'c' || suffix == 'd') {
            floatType = suffix == 's'   ? ValueType::Single
                        : suffix == 'c' ? ValueType::Currency
                                        : ValueType::Date;
            isFloat = true;
            ++m_pos;
        }
        if (IsWordChar(at(m_pos)))
            fail(QString(formtext::kBadNumber).arg(m_text.mid(start, m_pos + 1 - start)));
        bool ok = false;
        if (isFloat) {
            m_token.kind = TokenKind::Float;
            m_token.type = floatType;
            m_token.real = QLocale::c().toDouble(number, &ok);
        } else {
            m_token.kind = TokenKind::Integer;
            m_token.integer = number.toLongLong(&ok);
        }
        if (!ok)
            fail(QString(formtext::kBadNumber).arg(number));
    }

    void readBinary()
    {
        ++m_pos;
        QByteArray hex;
        for (;; ++m_pos) {
            if (m_pos >= m_text.size())
                fail(formtext::kBadBinary);
            const QChar c = m_text[m_pos];
            if (c == '}')
                break;
            if (c == '\n')
                ++m_line;
            if (c.isSpace())
                continue;
            if (!isxdigit(c.toLatin1()))
                fail(formtext::kBadBinary);
            hex.append(c.toLatin1());
        }
        ++m_pos;
        if (hex.size() % 2 != 0)
            fail(formtext::kBadBinary);
        m_token.kind = TokenKind::Binary;
        m_token.bytes = QByteArray::fromHex(hex);
    }

    const QString& m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
    Token m_token;
};

bool IsKeyword(const Token& t, const char* word)
{
    return t.kind == TokenKind::Word &&
           t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool IsSymbol(const Token& t, char symbol)
{
    return t.kind == TokenKind::Symbol && t.text == QChar(symbol);
}

class Parser
{
public:
    explicit Parser(const QString& text) : m_lex(text) {}

    StreamComponent document()
    {
        StreamComponent root = component();
        if (m_lex.peek().kind != TokenKind::End)
            m_lex.fail(formtext::kTextAfterEnd);
        return root;
    }

private:
    void expectSymbol(char symbol)
    {
        const Token t = m_lex.next();
        if (!IsSymbol(t, symbol))
            Lexer::failAt(t.line, QString(formtext::kExpected).arg(QChar(symbol)));
    }
    QString word(const char* what)
    {
        if (m_lex.peek().kind != TokenKind::Word)
            m_lex.fail(QString(formtext::kExpected).arg(what));
        return m_lex.next().text;
    }
    qint64 bracketedInteger()
    {
        expectSymbol('[');
        if (m_lex.peek().kind != TokenKind::Integer)
            m_lex.fail(QString(formtext::kExpected).arg("an integer"));
        const qint64 n = m_lex.next().integer;
        expectSymbol(']');
        return n;
    }

    bool atComponentStart() const
    {
        const Token& t = m_lex.peek();
        return IsKeyword(t, "object") || IsKeyword(t, "inherited") || IsKeyword(t, "inline");
    }

    StreamComponent component()
    {
        if (++m_depth > kMaxStreamNesting)
            m_lex.fail(formtext::kTooDeep);
        if (!atComponentStart())
            m_lex.fail(QString(formtext::kExpected).arg("object"));
        StreamComponent c;
        const Token start = m_lex.next();
        if (IsKeyword(start, "inherited"))
            c.header.flags |= kFlagInherited;
        else if (IsKeyword(start, "inline"))
            c.header.flags |= kFlagInline;
        if (IsSymbol(m_lex.peek(), ':')) {
            m_lex.next();
            c.header.className = word("a class name");
        } else {
            const QString first = word("a name");
            if (IsSymbol(m_lex.peek(), ':')) {
                m_lex.next();
                c.header.name = first;
                c.header.className = word("a class name");
            } else {
                c.header.className = first;
            }
        }
        if (IsSymbol(m_lex.peek(), '[')) {
            c.header.flags |= kFlagChildPos;
            c.header.childPosition = bracketedInteger();
        }
        while (!IsKeyword(m_lex.peek(), "end")) {
            if (atComponentStart())
                c.children.push_back(component());
            else
                c.properties.push_back(property());
        }
        m_lex.next();
        --m_depth;
        return c;
    }

    StreamProperty property()
    {
        StreamProperty p;
        p.name = word("a property name or end");
        expectSymbol('=');
        p.value = value();
        return p;
    }

    StreamValue value()
    {
        const Token t = m_lex.next();
        StreamValue v;
        switch (t.kind) {
        case TokenKind::Integer:
            return StreamValue::fromInteger(t.integer);
        case TokenKind::Float:
            v.type = t.type;
            if (t.type == ValueType::Currency)
                v.integer = qRound64(t.real * 10000);
            else
                v.real = t.real;
            return v;
        case TokenKind::Text:
            if (t.type == ValueType::String)
                return StreamValue::fromText(t.text);
            v.type = t.type;
            v.text = t.text;
            return v;
        case TokenKind::Binary:
            v.type = ValueType::Binary;
            v.bytes = t.bytes;
            return v;
        case TokenKind::Word:
            if (IsKeyword(t, "end") || IsKeyword(t, "object") || IsKeyword(t, "inherited") ||
                IsKeyword(t, "inline"))
                break;
            if (IsKeyword(t, "true") || IsKeyword(t, "false"))
                return StreamValue::boolean(IsKeyword(t, "true"));
            if (IsKeyword(t, "nil")) {
                v.type = ValueType::Nil;
                return v;
            }
            return StreamValue::ident(t.text);
        case TokenKind::Symbol:
            if (t.text == "[")
                return setValue();
            if (t.text == "(")
                return listValue();
            if (t.text == "<")
                return collectionValue();
            break;
        case TokenKind::End:
            break;
        }
        Lexer::failAt(t.line, QString(formtext::kExpected).arg("a value"));
    }

    StreamValue setValue()
    {
        StreamValue v;
        v.type = ValueType::Set;
        while (!IsSymbol(m_lex.peek(), ']')) {
            if (!v.members.isEmpty())
                expectSymbol(',');
            v.members.append(word("a set member"));
        }
        m_lex.next();
        return v;
    }

    StreamValue listValue()
    {
        StreamValue v;
        v.type = ValueType::List;
        while (!IsSymbol(m_lex.peek(), ')'))
            v.list.push_back(value());
        m_lex.next();
        return v;
    }

    StreamValue collectionValue()
    {
        StreamValue v;
        v.type = ValueType::Collection;
        while (!IsSymbol(m_lex.peek(), '>')) {
            const Token start = m_lex.next();
            if (!IsKeyword(start, "item"))
                Lexer::failAt(start.line, QString(formtext::kExpected).arg("item"));
            CollectionItem item;
            if (IsSymbol(m_lex.peek(), '['))
                item.order = bracketedInteger();
            while (!IsKeyword(m_lex.peek(), "end"))
                item.properties.push_back(property());
            m_lex.next();
            v.items.push_back(std::move(item));
        }
        m_lex.next();
        return v;
    }

    Lexer m_lex;
    int m_depth = 0;
};

QString QuoteText(const QString& text)
{
    if (text.isEmpty())
        return "''";
    QString out;
    bool inQuotes = false;
    for (QChar c : text) {
        if (c.unicode() < 32) {
            if (inQuotes)
                out += '\'';
            inQuotes = false;
            out += '#' + QString::number(c.unicode());
            continue;
        }
        if (!inQuotes)
            out += '\'';
        inQuotes = true;
        out += c == '\'' ? QStringLiteral("''") : QString(c);
    }
    if (inQuotes)
        out += '\'';
    return out;
}

QString FormatReal(double value)
{
    QString text = QLocale::c().toString(value, 'g', QLocale::FloatingPointShortest);
    if (std::isfinite(value) && !text.contains('.') && !text.contains('e'))
        text += ".0";
    return text;
}

QString FormatCurrency(qint64 scaled)
{
    const bool negative = scaled < 0;
    const quint64 magnitude = negative ? 0 - quint64(scaled) : quint64(scaled);
    QString text = QString::number(magnitude / 10000) + '.' +
                   QString::number(magnitude % 10000).rightJustified(4, '0');
    return (negative ? "-" : "") + text;
}

QString FormatProperties(const std::vector<StreamProperty>& properties)
{
    QStringList parts;
    for (const StreamProperty& p : properties)
        parts << p.name + '=' + FormatStreamValue(p.value);
    return parts.join(' ');
}

void PrintComponent(const StreamComponent& c, int depth, QStringList& lines)
{
    QString line(depth * 2, ' ');
    if (c.header.flags & kFlagInherited)
        line += "inherited ";
    if (c.header.flags & kFlagInline)
        line += "inline ";
    line += c.header.className + ' ' + (c.header.name.isEmpty() ? "-" : c.header.name);
    if (c.header.childPosition)
        line += " [" + QString::number(*c.header.childPosition) + ']';
    if (!c.properties.empty())
        line += ' ' + FormatProperties(c.properties);
    lines << line;
    for (const StreamComponent& child : c.children)
        PrintComponent(child, depth + 1, lines);
}

} // namespace

StreamComponent ParseFormText(const QString& text)
{
    return Parser(text).document();
}

QByteArray CompileFormText(const QString& text)
{
    return WriteComponentStream(ParseFormText(text));
}

QString FormatStreamValue(const StreamValue& v)
{
    constexpr qsizetype kShownBinaryBytes = 32;
    switch (v.type) {
    case ValueType::Int8:
    case ValueType::Int16:
    case ValueType::Int32:
    case ValueType::Int64:
        return QString::number(v.integer);
    case ValueType::Extended:
        return FormatReal(v.real);
    case ValueType::Single:
        return FormatReal(v.real) + 's';
    case ValueType::Currency:
        return FormatCurrency(v.integer) + 'c';
    case ValueType::Date:
        return FormatReal(v.real) + 'd';
    case ValueType::String:
    case ValueType::LString:
        return QuoteText(v.text);
    case ValueType::WString:
        return 'W' + QuoteText(v.text);
    case ValueType::Utf8String:
        return 'U' + QuoteText(v.text);
    case ValueType::Ident:
        return v.text;
    case ValueType::False:
        return "False";
    case ValueType::True:
        return "True";
    case ValueType::Nil:
        return "nil";
    case ValueType::Binary:
        if (v.bytes.size() <= kShownBinaryBytes)
            return '{' + QString::fromLatin1(v.bytes.toHex().toUpper()) + '}';
        return '{' + QString::fromLatin1(v.bytes.left(kShownBinaryBytes).toHex().toUpper()) +
               "... " + QString::number(v.bytes.size()) + " bytes}";
    case ValueType::Set:
        return '[' + v.members.join(", ") + ']';
    case ValueType::List: {
        QStringList parts;
        for (const StreamValue& item : v.list)
            parts << FormatStreamValue(item);
        return '(' + parts.join(' ') + ')';
    }
    case ValueType::Collection: {
        QStringList parts;
        for (const CollectionItem& item : v.items) {
            QString text = "item";
            if (item.order)
                text += " [" + QString::number(*item.order) + ']';
            if (!item.properties.empty())
                text += ' ' + FormatProperties(item.properties);
            parts << text + " end";
        }
        return '<' + parts.join(' ') + '>';
    }
    case ValueType::Null:
        break;
    }
    return {};
}

QStringList PrintComponentTree(const StreamComponent& root)
{
    QStringList lines;
    PrintComponent(root, 0, lines);
    return lines;
}

} // namespace editing
