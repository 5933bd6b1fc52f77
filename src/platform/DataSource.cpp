#include "DataSource.h"

namespace platform
{

void DataSource::setDataSet(DataSet* ds)
{
    if (m_dataSet == ds)
        return;
    if (m_dataSet)
        disconnect(m_dataSet, nullptr, this, nullptr);
    m_dataSet = ds;
    if (ds) {
        connect(ds, &DataSet::dataSetChanged, this, &DataSource::dataSetChanged);
        connect(ds, &DataSet::recordChanged, this, &DataSource::recordChanged);
        connect(ds, &DataSet::stateChanged, this, &DataSource::stateChanged);
        connect(ds, &DataSet::fieldChanged, this, &DataSource::fieldChanged);
    }
    emit dataSetReplaced();
}

} // namespace platform
