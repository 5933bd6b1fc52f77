#include "CatalogueTree.h"

#include <algorithm>

namespace catalogue
{

// --- nodes ----------------------------------------------------------------------

int TreeNode::indexInParent() const
{
    return m_index;
}

TreeNode* TreeNode::nextSibling() const
{
    const auto& siblings = m_parent ? m_parent->m_children : m_tree->m_roots;
    const int i = indexInParent();
    return i + 1 < int(siblings.size()) ? siblings[size_t(i + 1)].get() : nullptr;
}

TreeNode* TreeNode::next() const
{
    if (!m_children.empty())
        return m_children.front().get();
    for (const TreeNode* n = this; n; n = n->m_parent)
        if (TreeNode* s = n->nextSibling())
            return s;
    return nullptr;
}

// --- tree -----------------------------------------------------------------------

Tree::~Tree()
{
    for (TreeModel* m : m_models)
        m->m_tree = nullptr;
}

std::vector<std::unique_ptr<TreeNode>>& Tree::siblingsOf(TreeNode* node)
{
    return node->m_parent ? node->m_parent->m_children : m_roots;
}

void Tree::attach(TreeNode* parent, std::unique_ptr<TreeNode> node)
{
    node->m_parent = parent;
    node->m_tree = this;
    node->m_level = parent ? parent->m_level + 1 : 0;
    auto& siblings = parent ? parent->m_children : m_roots;
    node->m_index = int(siblings.size());
    siblings.push_back(std::move(node));
    ++m_count;
    changed();
}

namespace
{

int subtreeSize(const TreeNode* n)
{
    int size = 1;
    for (int i = 0; i < n->childCount(); ++i)
        size += subtreeSize(n->child(i));
    return size;
}

bool isWithin(const TreeNode* node, const TreeNode* ancestor)
{
    for (const TreeNode* n = node; n; n = n->parent())
        if (n == ancestor)
            return true;
    return false;
}

} // namespace

void Tree::remove(TreeNode* node)
{
    if (!node)
        return;
    if (m_selected && isWithin(m_selected, node))
        m_selected = nullptr;
    auto& siblings = siblingsOf(node);
    m_count -= subtreeSize(node);
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                  [&](const auto& p) { return p.get() == node; }),
                   siblings.end());
    renumber(siblings);
    changed();
}

void Tree::renumber(std::vector<std::unique_ptr<TreeNode>>& siblings)
{
    for (size_t i = 0; i < siblings.size(); ++i)
        siblings[i]->m_index = int(i);
}

void Tree::clear()
{
    m_selected = nullptr;
    m_roots.clear();
    m_count = 0;
    changed();
}

void Tree::sortByCaption()
{
    // Depth-first without recursion: trees can be deep and wide.
    std::vector<std::vector<std::unique_ptr<TreeNode>>*> levels{&m_roots};
    while (!levels.empty()) {
        auto* level = levels.back();
        levels.pop_back();
        if (level->size() > 1) {
            // Case-folded keys once per node rather than at every comparison.
            std::vector<std::pair<QString, std::unique_ptr<TreeNode>>> keyed;
            keyed.reserve(level->size());
            for (auto& n : *level)
                keyed.emplace_back(n->caption.toCaseFolded(), std::move(n));
            std::stable_sort(keyed.begin(), keyed.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            for (size_t i = 0; i < keyed.size(); ++i)
                (*level)[i] = std::move(keyed[i].second);
        }
        renumber(*level);
        for (auto& n : *level)
            if (!n->m_children.empty())
                levels.push_back(&n->m_children);
    }
    changed();
}

void Tree::endUpdate()
{
    if (m_updating > 0 && --m_updating == 0 && m_dirty)
        changed();
}

void Tree::changed()
{
    if (m_updating > 0) {
        m_dirty = true;
        return;
    }
    m_dirty = false;
    for (TreeModel* m : m_models)
        m->treeChanged();
}

// --- model ------------------------------------------------------------------------

TreeModel::TreeModel(Tree* tree, int columnCount, QObject* parent)
    : QAbstractItemModel(parent), m_tree(tree), m_columns(columnCount)
{
    if (m_tree)
        m_tree->m_models.push_back(this);
}

TreeModel::~TreeModel()
{
    if (m_tree)
        std::erase(m_tree->m_models, this);
}

void TreeModel::treeChanged()
{
    beginResetModel();
    endResetModel();
}

TreeNode* TreeModel::node(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<TreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TreeModel::indexOf(const TreeNode* node) const
{
    return node ? createIndex(node->indexInParent(), 0, const_cast<TreeNode*>(node))
                : QModelIndex();
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!m_tree || row < 0 || column < 0 || column >= m_columns || row >= rowCount(parent))
        return QModelIndex();
    TreeNode* p = node(parent);
    return createIndex(row, column, p ? p->child(row) : m_tree->top(row));
}

QModelIndex TreeModel::parent(const QModelIndex& child) const
{
    const TreeNode* n = node(child);
    return n && n->parent() ? indexOf(n->parent()) : QModelIndex();
}

int TreeModel::rowCount(const QModelIndex& parent) const
{
    if (!m_tree || parent.column() > 0)
        return 0;
    const TreeNode* p = node(parent);
    return p ? p->childCount() : m_tree->topCount();
}

int TreeModel::columnCount(const QModelIndex&) const
{
    return m_columns;
}

QVariant TreeModel::data(const QModelIndex& index, int role) const
{
    const TreeNode* n = node(index);
    if (!n)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? n->caption : n->columns.value(index.column() - 1);
    case ImageIndexRole:
        return n->imageIndex;
    case FullPathRole:
        return n->fullPath();
    default:
        return QVariant();
    }
}

} // namespace catalogue
