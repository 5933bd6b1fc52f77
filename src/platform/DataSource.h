#pragma once
// Links a dataset to data-aware controls: controls hold a DataSource and
// follow its dataset's signals. Changing the dataset re-targets every control.

#include "DataSet.h"

#include <QObject>
#include <QPointer>

namespace platform
{

class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(QObject* parent = nullptr) : QObject(parent) {}
    DataSet* dataSet() const { return m_dataSet; }
    void setDataSet(DataSet* ds);

signals:
    void dataSetReplaced(); // another dataset (or none) is attached
    void dataSetChanged();
    void recordChanged();
    void stateChanged();
    void fieldChanged(platform::Field* field);

private:
    QPointer<DataSet> m_dataSet;
};

} // namespace platform
