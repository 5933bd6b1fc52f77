#pragma once
// Shows a dataset in any Qt view: one row per record that passes the filter,
// one column per visible field, headers from the display labels. Selecting a
// row in a view moves the dataset's cursor through setCurrentRow.

#include "DataSet.h"

#include <QAbstractTableModel>
#include <QPointer>

namespace platform
{

class DataSetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DataSetModel(DataSet* ds = nullptr, QObject* parent = nullptr);
    void setDataSet(DataSet* ds);
    DataSet* dataSet() const { return m_dataSet; }

    // The field behind a column.
    Field* fieldAt(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void reset();
    QPointer<DataSet> m_dataSet;
    std::vector<Field*> m_columns;
};

} // namespace platform
