#pragma once
// The journal tree and the equipment trees as data: nodes with a caption,
// hidden text columns, icon indexes and their path record, shown in Qt views
// through TreeModel. Nothing here needs a window.

#include <QAbstractItemModel>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace catalogue
{

// The journal node record.
struct TInfo {
    QString FullPath;
    QString FullDescription;
    QString ExtTable;
    QString Permissions; // the prepared rights lines, each ending in CR LF
};

// The equipment node record.
struct TEQInfo {
    QString FullPath;
    QString FullDescription;
    QString Code;
};

class TreeNode
{
public:
    virtual ~TreeNode() = default;

    QString caption;
    QStringList columns; // columns 1, 2, ... (column 0 is the caption)
    int imageIndex = -1;
    int selectedIndex = -1;
    int stateIndex = -1;
    bool expanded = false;

    virtual const QString& fullPath() const = 0;
    virtual const QString& fullDescription() const = 0;

    TreeNode* parent() const { return m_parent; }
    int childCount() const { return int(m_children.size()); }
    bool hasChildren() const { return !m_children.empty(); }
    TreeNode* child(int i) const { return m_children[size_t(i)].get(); }
    int indexInParent() const;            // position among the siblings (or the top-level nodes)
    int level() const { return m_level; } // 0 for a top-level node
    TreeNode* nextSibling() const;
    // The next node in display order: the first child, else the next sibling,
    // else the next sibling of the nearest ancestor that has one.
    TreeNode* next() const;

private:
    friend class Tree;
    TreeNode* m_parent = nullptr;
    class Tree* m_tree = nullptr;
    int m_index = 0; // position among the siblings
    int m_level = 0;
    std::vector<std::unique_ptr<TreeNode>> m_children;
};

class JournalNode : public TreeNode
{
public:
    TInfo info;
    const QString& fullPath() const override { return info.FullPath; }
    const QString& fullDescription() const override { return info.FullDescription; }
};

class EquipmentNode : public TreeNode
{
public:
    TEQInfo info;
    const QString& fullPath() const override { return info.FullPath; }
    const QString& fullDescription() const override { return info.FullDescription; }
};

// A tree: top-level nodes and their descendants. Views follow it through
// TreeModel, which is told of every change by the tree.
class Tree
{
public:
    virtual ~Tree();

    int topCount() const { return int(m_roots.size()); }
    TreeNode* top(int i) const { return m_roots[size_t(i)].get(); }
    TreeNode* first() const { return m_roots.empty() ? nullptr : m_roots.front().get(); }
    int count() const { return m_count; }
    bool isEmpty() const { return m_roots.empty(); }

    // Adds a node of type N as the last child of parent (or the last
    // top-level node when parent is none).
    template <class N> N* add(TreeNode* parent)
    {
        auto node = std::make_unique<N>();
        N* raw = node.get();
        attach(parent, std::move(node));
        return raw;
    }
    void remove(TreeNode* node);
    void clear();
    // Sorts every level by caption, ascending, ignoring letter case.
    void sortByCaption();

    TreeNode* selected() const { return m_selected; }
    void setSelected(TreeNode* node) { m_selected = node; }

    // Redrawing is suspended between beginUpdate and endUpdate; models
    // reset once at the end.
    void beginUpdate() { ++m_updating; }
    void endUpdate();

private:
    friend class TreeModel;
    friend class TreeNode;
    void attach(TreeNode* parent, std::unique_ptr<TreeNode> node);
    void changed();
    std::vector<std::unique_ptr<TreeNode>>& siblingsOf(TreeNode* node);
    static void renumber(std::vector<std::unique_ptr<TreeNode>>& siblings);

    std::vector<std::unique_ptr<TreeNode>> m_roots;
    std::vector<class TreeModel*> m_models;
    TreeNode* m_selected = nullptr;
    int m_count = 0;
    int m_updating = 0;
    bool m_dirty = false;
};

// A tree whose nodes are all of one type.
template <class N> class TypedTree : public Tree
{
public:
    N* first() const { return static_cast<N*>(Tree::first()); }
    N* top(int i) const { return static_cast<N*>(Tree::top(i)); }
    N* add(N* parent) { return Tree::add<N>(parent); }
};

using JournalTree = TypedTree<JournalNode>;
using EquipmentTree = TypedTree<EquipmentNode>;

// Shows a tree in a Qt view: column 0 the caption, then the hidden columns;
// Qt::UserRole gives the image index, Qt::UserRole + 1 the full path.
class TreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit TreeModel(Tree* tree, int columnCount = 1, QObject* parent = nullptr);
    ~TreeModel() override;

    static constexpr int ImageIndexRole = Qt::UserRole;
    static constexpr int FullPathRole = Qt::UserRole + 1;

    TreeNode* node(const QModelIndex& index) const;
    QModelIndex indexOf(const TreeNode* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    friend class Tree;
    void treeChanged();
    Tree* m_tree;
    int m_columns;
};

} // namespace catalogue
