#pragma once
// TDBStream: a byte stream filled from or written to USERFORMS, where a stored
// object (record form, list form, report template) is kept as Base64 text cut
// into pieces of 32767 characters, one row per piece (SEQID 1, 2, ...).

#include <QByteArray>
#include <QString>

namespace database
{

class TDM;

// The kinds of stored objects (USERFORMS.RTYPE).
enum StoredObjectKind : int { RecordForm = 1, RecordListForm = 2, ReportTemplate = 3 };

inline constexpr int kPieceLength = 32767;

class TDBStream
{
public:
    explicit TDBStream(TDM& dm) : m_dm(dm) {}

    QByteArray& bytes() { return m_bytes; }
    const QByteArray& bytes() const { return m_bytes; }
    qsizetype size() const { return m_bytes.size(); }
    qsizetype position() const { return m_position; }
    void setPosition(qsizetype p) { m_position = p; }

    // Fills the stream with the stored object: its bytes are written at the
    // start of the stream and the position set to 0. Without a stored object
    // the stream is left as it is. A FormName of blanks only means " ".
    void LoadFromDB(const QString& fullPath, const QString& formName, int rType);
    // Replaces the stored object by the stream's whole content, all or
    // nothing: a failure leaves the earlier version in place. An empty
    // stream deletes the object.
    void SaveToDB(const QString& fullPath, const QString& formName, int rType);

private:
    TDM& m_dm;
    QByteArray m_bytes;
    qsizetype m_position = 0;
};

// The text cut into stored pieces: 32767 characters each, the last the rest.
QStringList CutIntoPieces(const QString& text);

} // namespace database
