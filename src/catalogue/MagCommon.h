#pragma once
// The journal catalogue: path encoding, the journal tree with the user's
// prepared rights, the rights check, the current journal, the reference cache
// with the equipment trees, and the naming helpers.
//
// Paths: FULLPATH is the identifiers from the top level down, each followed
// by "`"; FULLDESCRIPTION the same with the display names.

#include "CatalogueTree.h"

#include <QString>
#include <QStringList>

namespace database
{
class TDM;
}

namespace catalogue
{

// --- paths ------------------------------------------------------------------------

// The path without its last level (the parent's trailing "`" stays); empty
// for a top-level or an empty path.
QString ParentPath(const QString& path);
// The top-level part of a path: up to and including its first "`".
QString RootPathOf(const QString& path);
// The FullPath of the top-level ancestor of node (node itself when top-level).
QString RootJournalPath(const TreeNode* node);
// From start (inclusive), in display order through the rest of the tree, the
// first node whose FullPath equals path exactly; none when start is none.
TreeNode* FindNodeByPath(TreeNode* start, const QString& path);
// Node itself or its nearest ancestor whose FullPath occurs inside path
// (case-sensitive; an empty FullPath never occurs); none when none does.
TreeNode* FindParentNode(TreeNode* node, const QString& path);

template <class N> N* FindNodeByPath(N* start, const QString& path)
{
    return static_cast<N*>(FindNodeByPath(static_cast<TreeNode*>(start), path));
}

// --- rights -----------------------------------------------------------------------

// The granting word of the rights value for name (falling back to the "ALL"
// line), for a write word with its transition list; empty when not granted.
// With a path, the node is first searched from node by FindNodeByPath.
QString CheckRight(const TreeNode* node, const QString& path, const QString& name,
                   const QString& right);

// The prepared line value of one rights text (CONFORMS.PERMISSIONS) for a
// user: the line of "U"+uid, else "G"+gid, else "ALL"; empty counts as absent.
QString RightsValueFor(const QString& permissions, int uid, int gid);

// --- the journal tree ---------------------------------------------------------------

// Fills an empty journal tree from MAGS with the logged-on user's prepared
// rights from CONFORMS. Needs the data module's general query and
// ConformsTable open on the current connection.
void BuildJournalTree(database::TDM& dm, JournalTree& tree);
// Removes every journal the user may not read: a journal without children and
// without "r" on "ALL" goes, and so does a group once its last child has gone.
void PruneUnreadableJournals(JournalTree& tree);

// The journal selected in the main window.
struct CurrentJournalValues {
    JournalNode* node = nullptr;
    QString FullPath;
    QString FullDescription;
    QString ExtTable;
};
CurrentJournalValues& CurrentJournal();
// Clears the values, so nothing uses a node of a cleared tree.
void ClearCurrentJournal();

// What selecting a journal in the tree enables.
struct JournalSelection {
    bool requestEnabled = false; // "Запрос": "r" on ALL
    bool createEnabled = false;  // "Создать": a journal without children, "c" on ALL
};
// Takes the selected node into account (none keeps the current values).
JournalSelection SelectJournal(JournalNode* node);

// --- reference cache and equipment trees ----------------------------------------------

// The equipment tree whose extra columns BuildEquipmentTree fills (the
// references editor's); none until that window opens.
EquipmentTree*& EquipmentEditorTree();

enum class EquipmentTreeRole {
    Main,   // the main window's tree: a root item, icons shifted by one
    Editor, // the references editor's tree: identifier and code columns
    Other,
};

// (Re)loads every reference dataset ("RefDS" + table) and the equipment
// dataset RefDSEQRef from the current server, using the per-user cache file
// for the equipment while the server's row count matches it.
void CreateRefList(database::TDM& dm);
// Disposes of every reference dataset and of RefDSEQRef.
void FreeRefList(database::TDM& dm);
// "-" + the current server's database name + ".eq" in the per-user folder.
QString EquipmentCachePath(const database::TDM& dm);
void BuildEquipmentTree(database::TDM& dm, EquipmentTree& tree, EquipmentTreeRole role);
int EquipmentImageIndex(int level, EquipmentTreeRole role);
// The main window's root item caption.
inline constexpr const char* kAllEquipmentCaption = " BСЁ ОБОРУДОВАНИЕ";
// Replaces target by a copy of source whose items carry the same FullPath,
// FullDescription and Code.
void CopyEquipmentTree(const EquipmentTree& source, EquipmentTree& target);

// The equipment chooser holder's tree: a copy of the main window's tree, made
// when it is first used after each refill (a large tree is not copied at
// log-on for a chooser nobody opens).
class EquipmentChooserTree
{
public:
    void refill(const EquipmentTree& source); // source must outlive the next tree()
    EquipmentTree& tree();

private:
    const EquipmentTree* m_source = nullptr;
    bool m_stale = false;
    EquipmentTree m_tree;
};

// --- naming helpers -------------------------------------------------------------------

bool IsValidIdentifierText(const QString& text);
// Checks a new item's identifier; tells the user why not (messages).
bool ValidateIdentifier(const QString& identifier, const QString& path, bool reportDuplicate);
QString Transliterate(const QString& name);
QString CommaListItem(int index, const QString& list);
int CommaListIndex(const QString& item, const QString& list);

} // namespace catalogue
