#include "DMUnit.h"
#include "MagCommon.h"

#include <QHash>
#include <QImage>

using database::LogOn;
using database::TDM;
using platform::DataSet;
using platform::Field;

namespace catalogue
{

namespace
{

constexpr QChar kSeparator = u'`';
const QString kCrLf = QStringLiteral("\r\n");

// Lines of a text split at CR LF, a lone CR or a lone LF.
QStringList splitLines(const QString& text)
{
    QStringList lines;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(current);
            current.clear();
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        lines.append(current);
    return lines;
}

// The value of the first line named name (before its first "=").
QString lineValue(const QStringList& lines, const QString& name)
{
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && QStringView(line).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

QString trimmedText(const Field* f)
{
    return f ? f->asString().trimmed() : QString();
}

// The journal sign pictures (32 x 32). They serve no display of the main
// window; they are kept for windows that show them.
QList<QImage>& signImages()
{
    static QList<QImage> images;
    return images;
}

} // namespace

// --- paths ------------------------------------------------------------------------

QString ParentPath(const QString& path)
{
    // Everything before the start of the last non-empty level.
    qsizetype end = path.size();
    while (end > 0 && path[end - 1] == kSeparator)
        --end;
    if (end == 0)
        return QString();
    const qsizetype start = path.lastIndexOf(kSeparator, end - 1);
    return start < 0 ? QString() : path.left(start + 1);
}

QString RootPathOf(const QString& path)
{
    const qsizetype i = path.indexOf(kSeparator);
    return i < 0 ? path : path.left(i + 1);
}

QString RootJournalPath(const TreeNode* node)
{
    if (!node)
        return QString();
    while (node->parent())
        node = node->parent();
    return node->fullPath();
}

TreeNode* FindNodeByPath(TreeNode* start, const QString& path)
{
    for (TreeNode* n = start; n; n = n->next())
        if (n->fullPath() == path)
            return n;
    return nullptr;
}

TreeNode* FindParentNode(TreeNode* node, const QString& path)
{
    for (TreeNode* n = node; n; n = n->parent())
        if (!n->fullPath().isEmpty() && path.contains(n->fullPath()))
            return n;
    return nullptr;
}

// --- rights -----------------------------------------------------------------------

QString CheckRight(const TreeNode* node, const QString& path, const QString& name,
                   const QString& right)
{
    if (!path.isEmpty())
        node = FindNodeByPath(const_cast<TreeNode*>(node), path);
    const auto* journal = dynamic_cast<const JournalNode*>(node);
    if (!journal || right.isEmpty())
        return QString();
    const QStringList lines = splitLines(journal->info.Permissions);
    QString value = lineValue(lines, name);
    if (value.isEmpty())
        value = lineValue(lines, QStringLiteral("ALL"));
    if (value.isEmpty())
        return QString();
    const QStringList words = value.split(u',');
    for (int i = 0; i < words.size() && i < 20; ++i)
        if (QStringView(words[i]).left(right.size()).compare(right, Qt::CaseInsensitive) == 0)
            return words[i];
    return QString();
}

QString RightsValueFor(const QString& permissions, int uid, int gid)
{
    const QStringList lines = splitLines(permissions);
    for (const QString& owner :
         {QStringLiteral("U") + QString::number(uid), QStringLiteral("G") + QString::number(gid),
          QStringLiteral("ALL")}) {
        const QString v = lineValue(lines, owner);
        if (!v.isEmpty())
            return v;
    }
    return QString();
}

// --- the journal tree ---------------------------------------------------------------

namespace
{

// The prepared lines of a journal, from its own CONFORMS rows (in table order),
// then the parent's lines for every name the journal lacks.
QString preparedLines(const QList<int>& rows, DataSet& conforms, const Field* fieldName,
                      const Field* permissions, const JournalNode* parent)
{
    QString lines;
    QStringList ownNames;
    for (int row : rows) {
        conforms.setRecNo(row);
        const QString value =
            RightsValueFor(permissions->asString(), LogOn().CurrentUID, LogOn().CurrentGID);
        if (value.isEmpty())
            continue;
        const QString name = fieldName->asString();
        ownNames.append(name);
        lines += name + u'=' + value + kCrLf;
    }
    if (parent) {
        for (const QString& line : splitLines(parent->info.Permissions)) {
            const qsizetype eq = line.indexOf(u'=');
            const QString name = eq < 0 ? line : line.left(eq);
            if (name.isEmpty())
                continue;
            const bool has = std::any_of(ownNames.begin(), ownNames.end(), [&](const QString& own) {
                return own.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (!has)
                lines += line + kCrLf;
        }
    }
    return lines;
}

// The sign picture cut or padded to 32 x 32; -1 when there is none.
int addSignImage(const Field* sign)
{
    if (!sign || sign->isNull())
        return -1;
    const QByteArray bytes = sign->value().toByteArray();
    QImage picture;
    if (bytes.isEmpty() || !picture.loadFromData(bytes))
        return -1;
    signImages().append(picture.copy(0, 0, 32, 32));
    return int(signImages().size()) - 1;
}

} // namespace

void BuildJournalTree(TDM& dm, JournalTree& tree)
{
    signImages().clear();
    tree.beginUpdate();
    struct EndUpdate {
        Tree& t;
        ~EndUpdate() { t.endUpdate(); }
    } endUpdate{tree};

    // The rights rows of each journal, in table order: one pass over CONFORMS
    // instead of a filter per journal.
    DataSet& conforms = *dm.ConformsTable;
    conforms.setFiltered(false);
    const Field* cPath = conforms.fieldByName(QStringLiteral("FULLPATH"));
    const Field* cName = conforms.fieldByName(QStringLiteral("FIELDNAME"));
    const Field* cPermissions = conforms.fieldByName(QStringLiteral("PERMISSIONS"));
    QHash<QString, QList<int>> rowsOfJournal;
    for (int i = 0; i < conforms.rowCount(); ++i)
        rowsOfJournal[conforms.row(i)[size_t(cPath->slot())].toString()].append(i);

    dm.Query->close();
    dm.Query->setSql(QStringLiteral("SELECT * from mags order by FULLDESCRIPTION"));
    dm.Query->open();
    const Field* fPath = dm.Query->fieldByName(QStringLiteral("FULLPATH"));
    const Field* fDescription = dm.Query->fieldByName(QStringLiteral("DESCRIPTION"));
    const Field* fExtTable = dm.Query->findField(QStringLiteral("EXTTABLE"));
    const Field* fSign = dm.Query->findField(QStringLiteral("SIGN"));

    QHash<QString, JournalNode*> byPath;
    JournalNode* previous = nullptr;
    for (dm.Query->first(); !dm.Query->eof(); dm.Query->next()) {
        const QString fullPath = trimmedText(fPath);
        const QString caption = trimmedText(fDescription);
        // The parent is normally the previous node or one of its ancestors;
        // when the names do not sort that way, the node of the parent path.
        JournalNode* parent = nullptr;
        for (QString p = ParentPath(fullPath); !p.isEmpty() && !parent; p = ParentPath(p))
            parent = byPath.value(p);
        if (!parent)
            parent = static_cast<JournalNode*>(FindParentNode(previous, fullPath));
        const int signIndex = parent ? -1 : addSignImage(fSign);

        JournalNode* node = tree.add(parent);
        node->caption = caption;
        node->stateIndex = signIndex;
        node->info.FullPath = fullPath;
        node->info.FullDescription =
            (parent ? parent->info.FullDescription : QString()) + caption + kSeparator;
        node->info.ExtTable = parent ? parent->info.ExtTable : trimmedText(fExtTable);
        node->info.Permissions =
            preparedLines(rowsOfJournal.value(fullPath), conforms, cName, cPermissions, parent);
        node->columns = {node->info.FullPath, node->info.FullDescription, node->info.ExtTable,
                         node->info.Permissions};
        byPath.insert(fullPath, node);
        previous = node;
    }
    conforms.first();
    tree.sortByCaption();
    for (TreeNode* n = tree.first(); n; n = n->next()) {
        const int image = !n->parent() ? 0 : n->hasChildren() ? 1 : 2;
        n->imageIndex = n->selectedIndex = image;
    }
    dm.Query->close();
}

void PruneUnreadableJournals(JournalTree& tree)
{
    // Children first: a group goes once its last child has gone. This gives
    // what restarting a walk after every deletion gives, in one pass.
    struct Walk {
        Tree& tree;
        void prune(TreeNode* node)
        {
            for (int i = node->childCount() - 1; i >= 0; --i)
                prune(node->child(i));
            if (!node->hasChildren() &&
                CheckRight(node, QString(), QStringLiteral("ALL"), QStringLiteral("r")).isEmpty())
                tree.remove(node);
        }
    } walk{tree};
    tree.beginUpdate();
    for (int i = tree.topCount() - 1; i >= 0; --i)
        walk.prune(tree.top(i));
    tree.endUpdate();
}

CurrentJournalValues& CurrentJournal()
{
    static CurrentJournalValues values;
    return values;
}

void ClearCurrentJournal()
{
    CurrentJournal() = CurrentJournalValues{};
}

JournalSelection SelectJournal(JournalNode* node)
{
    JournalSelection s;
    if (!node)
        return s;
    CurrentJournal() = {node, node->info.FullPath, node->info.FullDescription, node->info.ExtTable};
    s.requestEnabled =
        !CheckRight(node, node->info.FullPath, QStringLiteral("ALL"), QStringLiteral("r"))
             .isEmpty();
    s.createEnabled =
        !node->hasChildren() &&
        !CheckRight(node, node->info.FullPath, QStringLiteral("ALL"), QStringLiteral("c"))
             .isEmpty();
    return s;
}

} // namespace catalogue
