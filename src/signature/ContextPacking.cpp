#include "ContextPacking.h"

#include "LZRW1.h"
#include "Query.h"
#include "Server.h"
#include "rjMime.h"

namespace signature
{

QString PackSnapshot(const QByteArray& snapshot)
{
    return rjMime::Encode(CompressGood(snapshot));
}

QString PackRecordContext(platform::Server& server, int recId, const QString& ext)
{
    platform::Query q;
    q.setServer(&server);
    q.setReadOnly(true);
    q.addSqlLine(QStringLiteral("select * from CoreTable"));
    if (!ext.isEmpty()) {
        q.addSqlLine(QStringLiteral("left join ") + ext);
        q.addSqlLine(QStringLiteral("on CoreTable.RecID=") + ext + QStringLiteral(".RecID"));
    }
    q.addSqlLine(QStringLiteral("where CoreTable.RecID=") + QString::number(recId));
    q.open();
    return PackSnapshot(q.saveToBytes());
}

void UnpackRecordContext(const QString& text, platform::DataSet& dataset)
{
    dataset.loadFromBytes(Decompress(rjMime::Decode(text)));
}

} // namespace signature
