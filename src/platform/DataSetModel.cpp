#include "DataSetModel.h"

namespace platform
{

DataSetModel::DataSetModel(DataSet* ds, QObject* parent) : QAbstractTableModel(parent)
{
    setDataSet(ds);
}

void DataSetModel::setDataSet(DataSet* ds)
{
    if (m_dataSet)
        disconnect(m_dataSet, nullptr, this, nullptr);
    m_dataSet = ds;
    if (ds) {
        connect(ds, &DataSet::dataSetChanged, this, &DataSetModel::reset);
        connect(ds, &DataSet::fieldChanged, this, &DataSetModel::reset);
        connect(ds, &DataSet::recordChanged, this, [this] {
            if (m_dataSet && m_dataSet->recNo() >= 0 && m_dataSet->recNo() < rowCount())
                emit dataChanged(index(m_dataSet->recNo(), 0),
                                 index(m_dataSet->recNo(), std::max(0, columnCount() - 1)));
        });
    }
    reset();
}

void DataSetModel::reset()
{
    beginResetModel();
    m_columns.clear();
    if (m_dataSet && m_dataSet->active())
        for (int i = 0; i < m_dataSet->fieldCount(); ++i)
            if (m_dataSet->field(i)->visible())
                m_columns.push_back(m_dataSet->field(i));
    endResetModel();
}

Field* DataSetModel::fieldAt(int column) const
{
    return column >= 0 && column < int(m_columns.size()) ? m_columns[size_t(column)] : nullptr;
}

int DataSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_dataSet ? 0 : m_dataSet->recordCount();
}

int DataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_dataSet || role != Qt::DisplayRole)
        return QVariant();
    Field* f = fieldAt(index.column());
    if (!f || index.row() >= m_dataSet->recordCount())
        return QVariant();
    const QVariant v = m_dataSet->valueAt(index.row(), f);
    if (v.typeId() == QMetaType::QDateTime && !f->displayFormat().isEmpty())
        return v.toDateTime().toString(f->displayFormat());
    return v;
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    Field* f = fieldAt(section);
    return f ? f->displayLabel() : QVariant();
}

} // namespace platform
