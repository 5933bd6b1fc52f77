// The record dataset GRQuery and its fields, the history query's fields, the
// state reference and the stored form headers.

#include "DMUnit.h"
#include "Error.h"
#include "Schema.h"

#include <QLocale>

using namespace platform;

namespace database
{

namespace
{

constexpr int kLookupFieldSize = 150;
const char* const kJournalNames = "MagQuery";
const char* const kEquipmentCache = "RefDSEQRef";
const char* const kReferencePrefix = "RefDS";
const char* const kEquipmentLink = "Equipment";

// The reference table named by a REFNAME ("STATES (Состояния записей)"):
// its first blank-separated word.
QString referenceTableOf(const QString& refName)
{
    const qsizetype blank = refName.indexOf(u' ');
    return blank < 0 ? refName : refName.left(blank);
}

// A filter comparison with a text value ("FULLPATH='...'").
QString textFilter(const QString& field, const QString& value)
{
    QString quoted = value;
    quoted.replace(u'\'', QStringLiteral("''"));
    return field + QStringLiteral("='") + quoted + u'\'';
}

// The workstation's short date and short time, as the record dataset shows
// date-times.
QString dateTimeDisplayFormat()
{
    const QLocale locale = QLocale::system();
    return locale.dateFormat(QLocale::ShortFormat) + u' ' + locale.timeFormat(QLocale::ShortFormat);
}

} // namespace

void TDM::createHistoryFields()
{
    struct HistoryField {
        const char* name;
        FieldType type;
        int size;
        FieldKind kind;
        const char* label;
    };
    const HistoryField fields[] = {
        {"KIND", FieldType::Integer, 0, FieldKind::Data, "Тип"},
        {"DATECREATE", FieldType::DateTime, 0, FieldKind::Data, "Дата/время"},
        {"UID", FieldType::Integer, 0, FieldKind::Data, nullptr},
        {"FIO", FieldType::String, 100, FieldKind::Data, "Пользователь"},
        {"COMMENT", FieldType::Memo, 0, FieldKind::Data, nullptr},
        {"RECCONTEXT", FieldType::Memo, 0, FieldKind::Data, nullptr},
        {"PUBLICKEY", FieldType::Memo, 0, FieldKind::Data, nullptr},
        {"SIGNATURE", FieldType::Memo, 0, FieldKind::Data, nullptr},
        {"SignCheck", FieldType::Integer, 0, FieldKind::Calculated, nullptr},
        {"KindExplain", FieldType::String, 20, FieldKind::Calculated, nullptr},
    };
    for (const HistoryField& s : fields) {
        Field* f =
            HistoryQ->addField(FieldDef{QString::fromLatin1(s.name), s.type, s.size}, s.kind);
        if (s.label)
            f->setDisplayLabel(QString::fromUtf8(s.label));
    }
    HistoryQ->fieldByName(QStringLiteral("UID"))->setVisible(false);
    HistoryQ->onCalcFields = [this](DataSet& history) { HistoryQCalcFields(history); };
}

void TDM::HistoryQCalcFields(DataSet& history)
{
    const Field* kind = history.fieldByName(QStringLiteral("KIND"));
    const int k = kind->isNull() ? -1 : int(kind->asInteger());
    history.fieldByName(QStringLiteral("KINDEXPLAIN"))->setValue(HistoryKindText(k));
    Field* check = history.fieldByName(QStringLiteral("SIGNCHECK"));
    if (k != HistorySigned) {
        check->setValue(-1);
        return;
    }
    if (!SignatureCheck) {
        check->clear();
        return;
    }
    int valid = 0;
    try {
        valid = SignatureCheck(history);
    } catch (const std::exception&) {
        valid = 0;
    }
    check->setValue(valid);
}

QString TDM::ColumnList(const QString& table)
{
    Query->close();
    Query->setSql(ReplaceEmptyLiterals(QStringLiteral("Select * from ") + table +
                                       QStringLiteral(" where RECID=0")));
    Query->open();
    QStringList names;
    for (const FieldDef& d : Query->fieldDefs())
        if (d.name.toUpper() != QLatin1String("RECID"))
            names.append(d.name.trimmed());
    Query->close();
    return names.isEmpty() ? QString() : names.join(QStringLiteral(", ")) + u' ';
}

void TDM::OpenUserQuery(const QString& journalFullPath, const QString& extTable,
                        const QString& objectMask, bool emptyMode, const QString& conditions,
                        const QVariantMap& params)
{
    GRQuery->close();
    GRQuery->clearParams();
    GRQuery->clearSql();
    GRQuery->clearFields();
    GRQuery->clearFieldDefs();

    const QString ext = extTable.trimmed();
    const QString core = ColumnList(QStringLiteral("coretable"));
    SqlStatement s(QStringLiteral("select coretable.RecID as RECID,") + core);
    if (!ext.isEmpty()) {
        const QString extColumns = ColumnList(ext);
        if (!extColumns.isEmpty())
            s << ", " << extColumns;
        s << "\r\nfrom coretable LEFT JOIN " << ext << " on " << ext << ".RecID=coretable.RecID";
    } else {
        s << "\r\nfrom coretable";
    }
    s << "\r\nwhere (coretable.RecID>0) ";

    // The field definitions without fetching a record.
    SqlStatement probe = s;
    probe << " and (coretable.RECID=0)";
    GRQuery->setSql(probe);
    GRQuery->open();
    GRQuery->close();

    if (!emptyMode) {
        if (!conditions.isEmpty())
            s << conditions;
        s << " and (";
        s.startsWith(QStringLiteral("fullpath"), journalFullPath) << ")";
        if (!objectMask.isEmpty()) {
            s << " and (";
            s.startsWith(QStringLiteral("coretable.object"), objectMask) << ")";
        }
        const bool byDate = conditions.contains(QLatin1String("and (DATE1")) ||
                            conditions.contains(QLatin1String("and (DATE2"));
        s << (byDate ? "\r\norder by CORETABLE.DATE1" : "\r\norder by CORETABLE.RecID");
        GRQuery->setSql(s);
    }

    AddFields(*GRQuery);
    AddLookUpFields(TopLevelPath(journalFullPath), *GRQuery);
    for (auto it = params.constBegin(); it != params.constEnd(); ++it)
        GRQuery->setParam(it.key(), it.value());
    GRQuery->open();
}

void TDM::AddFields(DataSet& dataSet)
{
    const QString format = dateTimeDisplayFormat();
    for (const FieldDef& d : dataSet.fieldDefs()) {
        if (dataSet.findField(d.name))
            continue;
        Field* f = dataSet.addField(d);
        if (d.type == FieldType::DateTime)
            f->setDisplayFormat(format);
    }
}

void TDM::MakeLookupField(DataSet& dataSet, const QString& lookupName, const QString& keyField,
                          const QString& lookupKeyField, const QString& resultField,
                          const QString& prefix)
{
    DataSet* source = findDataSet(lookupName);
    if (!source)
        return;
    const QString name = prefix == QLatin1String("*") ? resultField : prefix + keyField.toUpper();
    Field* f =
        dataSet.addField(FieldDef{name, FieldType::String, kLookupFieldSize}, FieldKind::Lookup);
    f->setLookup(Field::Lookup{source, keyField, lookupKeyField, resultField});
}

void TDM::AddLookUpFields(const QString& topPath, DataSet& dataSet)
{
    // The journal names are read once; the catalogue operations re-read them.
    if (!MagQuery->active())
        MagQuery->open();
    const QString journals = QLatin1String(kJournalNames);
    const QString fullPath = QStringLiteral("FullPath");
    MakeLookupField(dataSet, journals, fullPath, fullPath, QStringLiteral("FULLDESCRIPTION"),
                    QStringLiteral("*"));
    MakeLookupField(dataSet, journals, fullPath, fullPath, QStringLiteral("DESCRIPTION"),
                    QStringLiteral("*"));

    if (!ConformsTable->active())
        ConformsTable->open();
    ConformsTable->setFiltered(false);
    ConformsTable->setFilter(textFilter(QStringLiteral("FULLPATH"), topPath));
    ConformsTable->setFiltered(true);
    const Field* fieldName = ConformsTable->fieldByName(QStringLiteral("FIELDNAME"));
    const Field* refName = ConformsTable->fieldByName(QStringLiteral("REFNAME"));
    const Field* rusName = ConformsTable->fieldByName(QStringLiteral("RUSNAME"));
    for (ConformsTable->first(); !ConformsTable->eof(); ConformsTable->next()) {
        const QString name = fieldName->asString();
        Field* target = dataSet.findField(name);
        if (!target)
            continue;
        if (!rusName->isNull())
            target->setDisplayLabel(rusName->asString());
        const QString link = refName->asString();
        if (link.isEmpty())
            continue;
        if (link.contains(QLatin1String(kEquipmentLink))) {
            const QString equipment = QLatin1String(kEquipmentCache);
            MakeLookupField(dataSet, equipment, name, fullPath, QStringLiteral("FullDescription"),
                            QStringLiteral("E_"));
            MakeLookupField(dataSet, equipment, name, fullPath, QStringLiteral("Code"),
                            QStringLiteral("C_"));
        } else {
            MakeLookupField(dataSet, QLatin1String(kReferencePrefix) + referenceTableOf(link), name,
                            QStringLiteral("aCode"), QStringLiteral("aValue"),
                            QStringLiteral("S_"));
        }
    }
}

DataSet* TDM::GetStateLookup(const QString& journalPath, QString& caption)
{
    if (!ConformsTable->active())
        ConformsTable->open();
    ConformsTable->setFiltered(false);
    ConformsTable->setFilter(QString());
    ConformsTable->first();
    if (!ConformsTable->locate(QStringLiteral("FIELDNAME;FULLPATH"),
                               QVariantList{QStringLiteral("STATE"), TopLevelPath(journalPath)}))
        return nullptr;
    const Field* refName = ConformsTable->fieldByName(QStringLiteral("REFNAME"));
    if (refName->isNull())
        return nullptr;
    caption = ConformsTable->fieldByName(QStringLiteral("RUSNAME"))->asString();
    return findDataSet(QLatin1String(kReferencePrefix) + referenceTableOf(refName->asString()));
}

void TDM::OpenUFormQuery(const QString& fullPath, int rType)
{
    Query->close();
    SqlStatement s("Select * from UserForms where Fullpath=");
    s.quoted(fullPath) << " and SeqID=1 and rType=";
    s.number(rType);
    Query->setSql(s);
    Query->open();
}

} // namespace database
