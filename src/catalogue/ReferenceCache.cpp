#include "DMUnit.h"
#include "DebugOutput.h"
#include "Error.h"
#include "MagCommon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

using database::TDM;
using platform::DataSet;
using platform::DebugLine;
using platform::Field;
using platform::FieldDef;
using platform::FieldType;
using platform::Query;
using platform::TickCount;

namespace catalogue
{

namespace
{

const char* const kEquipmentDataSet = "RefDSEQRef";
const char* const kEquipmentSql =
    "Select FULLPATH, DESCRIPTION, CODE, FULLDESCRIPTION from Equipment order by FULLPATH";

bool isConfigurationProgram()
{
    return QFileInfo(QCoreApplication::applicationFilePath())
        .fileName()
        .contains(QLatin1String("logadmin"));
}

// The length of ParentPath(path), without making it.
qsizetype parentPathLength(const QString& path)
{
    qsizetype end = path.size();
    while (end > 0 && path[end - 1] == u'`')
        --end;
    if (end == 0)
        return 0;
    const qsizetype start = path.lastIndexOf(u'`', end - 1);
    return start < 0 ? 0 : start + 1;
}

QString ms(qint64 since)
{
    return QString::number(TickCount() - since) + QStringLiteral("ms");
}

Query* equipmentDataSet(TDM& dm)
{
    if (auto* q = qobject_cast<Query*>(dm.findDataSet(QLatin1String(kEquipmentDataSet))))
        return q;
    auto* q = new Query(&dm);
    q->setObjectName(QLatin1String(kEquipmentDataSet));
    q->setAutoUpdate(false);
    q->setAutoCalcFields(false);
    q->addField(FieldDef{QStringLiteral("FULLPATH"), FieldType::String, 100});
    q->addField(FieldDef{QStringLiteral("DESCRIPTION"), FieldType::String, 50});
    q->addField(FieldDef{QStringLiteral("CODE"), FieldType::String, 50});
    q->addField(FieldDef{QStringLiteral("FULLDESCRIPTION"), FieldType::String, 200});
    return q;
}

// Loads the cache file when it holds as many rows as the server; false when
// it does not, or when it cannot be read (it is then removed).
bool loadCacheFile(TDM& dm, Query& equipment, const QString& path)
{
    dm.Query->close();
    dm.Query->setSql(QStringLiteral("Select count(FULLPATH) as C from Equipment"));
    dm.Query->open();
    const qint64 serverRows = dm.Query->fieldByName(QStringLiteral("C"))->asInteger();
    dm.Query->close();
    try {
        equipment.loadFromFile(path);
    } catch (const platform::Error&) {
        // A damaged cache is no reason to refuse the log-on: read the server.
        equipment.close();
        QFile::remove(path);
        return false;
    }
    return equipment.rowCount() == serverRows;
}

} // namespace

EquipmentTree*& EquipmentEditorTree()
{
    static EquipmentTree* tree = nullptr;
    return tree;
}

QString EquipmentCachePath(const TDM& dm)
{
    // The database name may be a file path; its separators must not make
    // folders of the file name.
    QString name = dm.currentServer()->databaseName();
    for (QChar bad : {u'/', u'\\', u':', u'*', u'?', u'"', u'<', u'>', u'|'})
        name.replace(bad, u'_');
    const QString file = u'-' + name + QStringLiteral(".eq");

    QString profile = qEnvironmentVariable("USERPROFILE");
    if (profile.size() >= 260)
        profile.clear();
    while (profile.endsWith(u' '))
        profile.chop(1);
    QString folder;
    if (!profile.isEmpty()) {
        folder =
            QDir::fromNativeSeparators(profile) + QStringLiteral("/Application Data/Brenholt/");
    } else {
#ifdef Q_OS_WIN
        folder = QCoreApplication::applicationDirPath() + u'/';
#else
        // Next to the executable is usually not writable here: a per-user
        // data folder instead.
        QString data = qEnvironmentVariable("XDG_DATA_HOME");
        if (data.isEmpty() && !qEnvironmentVariable("HOME").isEmpty())
            data = qEnvironmentVariable("HOME") + QStringLiteral("/.local/share");
        folder = data.isEmpty() ? QCoreApplication::applicationDirPath() + u'/'
                                : data + QStringLiteral("/Brenholt/");
#endif
    }
    return folder + file;
}

void CreateRefList(TDM& dm)
{
    qint64 t = TickCount();
    if (!dm.Refs->active())
        dm.Refs->open();
    DebugLine(QStringLiteral("CreateRefList: DM.Refs.Open") + ms(t));
    t = TickCount();
    const Field* refTable = dm.Refs->fieldByName(QStringLiteral("REFERENCETABLE"));
    for (dm.Refs->first(); !dm.Refs->eof(); dm.Refs->next()) {
        const QString stored = refTable->asString();
        const QString table = stored.trimmed();
        const QString name = QStringLiteral("RefDS") + table;
        auto* q = qobject_cast<Query*>(dm.findDataSet(name));
        if (!q) {
            q = new Query(&dm);
            q->setObjectName(name);
        }
        q->close();
        q->setSql(QStringLiteral("Select * from  ") + table + QStringLiteral(" order by aCode"));
        q->setServer(dm.currentServer());
        q->setReadOnly(false);
        q->open();
        DebugLine(QStringLiteral("CreateRefList: open \"") + stored + QStringLiteral("\" ") +
                  ms(t));
        t = TickCount();
    }

    t = TickCount();
    Query& equipment = *equipmentDataSet(dm);
    equipment.setServer(dm.currentServer());
    const QString path = EquipmentCachePath(dm);
    const bool useFile = !isConfigurationProgram();
    bool loaded = useFile && QFileInfo::exists(path) && loadCacheFile(dm, equipment, path);
    if (!loaded) {
        equipment.close();
        equipment.setSql(QLatin1String(kEquipmentSql));
        equipment.open();
        if (useFile) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            equipment.saveToFile(path);
        }
    }
    DebugLine(QStringLiteral("CreateRefList: open Equipment ") + ms(t));
}

void FreeRefList(TDM& dm)
{
    // Every cached reference is named "RefDS" + its table; going by the names
    // rather than by the REFS rows also works when the server is gone.
    const auto children = dm.findChildren<DataSet*>(QString(), Qt::FindDirectChildrenOnly);
    for (DataSet* ds : children)
        if (ds->objectName().startsWith(QLatin1String("RefDS")))
            delete ds;
    dm.Refs->close();
}

int EquipmentImageIndex(int level, EquipmentTreeRole role)
{
    while (level > 7)
        level -= 7;
    return role == EquipmentTreeRole::Main ? level - 1 : level;
}

void BuildEquipmentTree(TDM& dm, EquipmentTree& tree, EquipmentTreeRole role)
{
    tree.beginUpdate();
    tree.clear();
    EquipmentNode* root = nullptr;
    if (role == EquipmentTreeRole::Main) {
        root = tree.add(nullptr);
        root->caption = QString::fromUtf8(kAllEquipmentCaption);
        root->imageIndex = root->selectedIndex = 5;
    }
    if (auto* equipment = qobject_cast<Query*>(dm.findDataSet(QLatin1String(kEquipmentDataSet)));
        equipment && equipment->active()) {
        equipment->disableControls();
        Field* fPath = equipment->fieldByName(QStringLiteral("FULLPATH"));
        Field* fName = equipment->fieldByName(QStringLiteral("DESCRIPTION"));
        Field* fCode = equipment->fieldByName(QStringLiteral("CODE"));
        Field* fFullDescription = equipment->fieldByName(QStringLiteral("FULLDESCRIPTION"));
        // The parent is normally the previous node or one of its ancestors
        // (rows come in path order). When it is not, the node of the parent
        // path is looked up: the index of all nodes is made only then.
        QHash<QString, EquipmentNode*> byPath;
        bool indexed = false;
        std::vector<EquipmentNode*> built;
        built.reserve(size_t(equipment->recordCount()));
        TreeNode* previous = nullptr;
        for (equipment->first(); !equipment->eof(); equipment->next()) {
            const QString fullPath = fPath->asString();
            const QString name = fName->asString();
            const qsizetype parentLength = parentPathLength(fullPath);
            auto* parent = static_cast<EquipmentNode*>(FindParentNode(previous, fullPath));
            if (parentLength > 0 && (!parent || parent->info.FullPath.size() != parentLength ||
                                     !fullPath.startsWith(parent->info.FullPath))) {
                if (!indexed) {
                    for (EquipmentNode* n : built)
                        byPath.insert(n->info.FullPath, n);
                    indexed = true;
                }
                EquipmentNode* exact = nullptr;
                for (QString p = ParentPath(fullPath); !p.isEmpty() && !exact; p = ParentPath(p))
                    exact = byPath.value(p);
                if (exact)
                    parent = exact;
            }
            QString fullDescription;
            const QString& parentDescription = parent ? parent->info.FullDescription : QString();
            fullDescription.reserve(parentDescription.size() + name.size() + 1);
            fullDescription.append(parentDescription).append(name).append(u'`');
            const QVariant stored = fFullDescription->value();
            if (stored.isValid() && !stored.isNull() && stored.toString().isEmpty()) {
                equipment->edit();
                fFullDescription->setValue(fullDescription);
                equipment->post();
            }
            EquipmentNode* node = tree.add(parent ? parent : root);
            node->caption = name;
            node->info = {fullPath, fullDescription, fCode->asString()};
            node->imageIndex = node->selectedIndex = EquipmentImageIndex(node->level(), role);
            if (role == EquipmentTreeRole::Editor) {
                QString identifier = fullPath;
                if (parent)
                    identifier.remove(parent->info.FullPath);
                identifier.remove(u'`');
                node->columns = {identifier, node->info.Code};
            }
            if (indexed)
                byPath.insert(fullPath, node);
            else
                built.push_back(node);
            previous = node;
        }
        equipment->first();
        equipment->enableControls();
    }
    if (root) {
        root->expanded = true;
        tree.setSelected(root);
    }
    tree.endUpdate();
}

void EquipmentChooserTree::refill(const EquipmentTree& source)
{
    m_source = &source;
    m_stale = true;
}

EquipmentTree& EquipmentChooserTree::tree()
{
    if (m_stale && m_source)
        CopyEquipmentTree(*m_source, m_tree);
    m_stale = false;
    return m_tree;
}

void CopyEquipmentTree(const EquipmentTree& source, EquipmentTree& target)
{
    target.beginUpdate();
    target.clear();
    struct Copier {
        EquipmentTree& target;
        void copy(const TreeNode* from, EquipmentNode* parent)
        {
            const auto* src = static_cast<const EquipmentNode*>(from);
            EquipmentNode* node = target.add(parent);
            node->caption = src->caption;
            node->info = src->info;
            node->imageIndex = src->imageIndex;
            node->selectedIndex = src->selectedIndex;
            for (int i = 0; i < from->childCount(); ++i)
                copy(from->child(i), node);
        }
    } copier{target};
    for (int i = 0; i < source.topCount(); ++i)
        copier.copy(source.top(i), nullptr);
    target.endUpdate();
}

} // namespace catalogue
