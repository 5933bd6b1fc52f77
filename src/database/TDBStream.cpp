#include "TDBStream.h"

#include "DMUnit.h"
#include "rjMime.h"

using platform::SqlStatement;

namespace database
{

QStringList CutIntoPieces(const QString& text)
{
    QStringList pieces;
    for (qsizetype at = 0; at < text.size(); at += kPieceLength)
        pieces.append(text.mid(at, kPieceLength));
    return pieces;
}

void TDBStream::LoadFromDB(const QString& fullPath, const QString& formName, int rType)
{
    const QString name = formName.trimmed().isEmpty() ? QStringLiteral(" ") : formName;
    auto q = m_dm.newQuery();
    q->setReadOnly(true);
    SqlStatement s("Select * from UserForms where Fullpath=");
    s.quoted(fullPath) << " and rType=";
    s.number(rType) << " and FormName=";
    s.quoted(name) << "  order by SeqID";
    q->setSql(s);
    q->open();
    if (q->isEmpty())
        return;
    QString text;
    const platform::Field* blob = q->fieldByName(QStringLiteral("FORMBLOB"));
    for (q->first(); !q->eof(); q->next())
        text += blob->asString();
    const QByteArray decoded = signature::rjMime::Decode(text);
    if (m_bytes.size() < decoded.size())
        m_bytes.resize(decoded.size());
    std::copy(decoded.begin(), decoded.end(), m_bytes.begin());
    m_position = 0;
}

void TDBStream::SaveToDB(const QString& fullPath, const QString& formName, int rType)
{
    platform::Server& server = *m_dm.currentServer();
    platform::Transaction transaction(server);
    SqlStatement del("Delete from UserForms where Fullpath=");
    del.quoted(fullPath) << " and rType=";
    del.number(rType) << " and FormName=";
    del.quoted(formName);
    m_dm.execSql(del);

    const QStringList pieces = CutIntoPieces(signature::rjMime::Encode(m_bytes));
    auto q = m_dm.newQuery();
    for (int i = 0; i < pieces.size(); ++i) {
        q->close();
        q->setSql(QStringLiteral("select * from UserForms\r\nwhere SeqID<0"));
        q->setReadOnly(false);
        q->open();
        q->append();
        q->fieldByName(QStringLiteral("SEQID"))->setValue(i + 1);
        q->fieldByName(QStringLiteral("FULLPATH"))->setValue(fullPath);
        q->fieldByName(QStringLiteral("FORMNAME"))->setValue(formName);
        q->fieldByName(QStringLiteral("RTYPE"))->setValue(rType);
        q->fieldByName(QStringLiteral("FORMBLOB"))->setValue(pieces[i]);
        q->post();
    }
    transaction.commit();
}

} // namespace database
