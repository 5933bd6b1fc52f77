#pragma once
// DataSet: rows in memory with typed fields, a cursor, an edit buffer and a
// filter. Used as it is, it is the memory dataset (fields defined by hand, rows
// appended, saved to and loaded from a snapshot). Query fills it from a
// server and may write each Post back.
//
// Field names are upper case; lookups by name ignore letter case.

#include "Field.h"

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace platform
{

enum class DataSetState { Inactive, Browse, Edit, Insert };

struct LocateOptions {
    bool caseInsensitive = false;
    bool partialKey = false;
};

class DataSet : public QObject
{
    Q_OBJECT
public:
    explicit DataSet(QObject* parent = nullptr);
    ~DataSet() override;

    // --- fields -----------------------------------------------------------
    // Definitions of the stored columns: set by hand, by the server at Open,
    // or by a snapshot. Fields are made from them at Open unless persistent
    // fields exist.
    const std::vector<FieldDef>& fieldDefs() const { return m_fieldDefs; }
    void setFieldDefs(std::vector<FieldDef> defs);
    void addFieldDef(const QString& name, FieldType type, int size = 0, bool required = false);
    void clearFieldDefs() { m_fieldDefs.clear(); }

    // Persistent fields stay from one Open to the next; a closed dataset only.
    Field* addField(const FieldDef& def, FieldKind kind = FieldKind::Data);
    // One persistent data field per field definition (what a designer does).
    void createFieldsFromDefs();
    void clearFields();
    bool hasPersistentFields() const { return m_persistent; }

    int fieldCount() const { return int(m_fields.size()); }
    Field* field(int index) const { return m_fields[size_t(index)].get(); }
    Field* findField(const QString& name) const;   // nullptr when absent
    Field* fieldByName(const QString& name) const; // raises when absent
    QStringList fieldNames() const;

    // --- life -------------------------------------------------------------
    void open();
    void close();
    bool active() const { return m_state != DataSetState::Inactive; }
    DataSetState state() const { return m_state; }

    // --- cursor -----------------------------------------------------------
    int recordCount() const; // rows that pass the filter
    bool isEmpty() const { return recordCount() == 0; }
    int recNo() const { return m_cursor; } // 0-based position in the filtered rows
    void setRecNo(int index);
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }

    // Finds the first row whose fields (names joined by ";") equal the values
    // and makes it current; false leaves the cursor where it was.
    bool locate(const QString& fieldNames, const QVariantList& values, LocateOptions options = {});
    bool locate(const QString& fieldName, const QVariant& value, LocateOptions options = {})
    {
        return locate(fieldName, QVariantList{value}, options);
    }

    // Filter text: comparisons "FIELD=123" or "FIELD='text'" ('' inside the
    // quotes is an apostrophe), joined by "and". Applied while filtered.
    void setFilter(const QString& text);
    QString filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    // --- editing ----------------------------------------------------------
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool r) { m_readOnly = r; }
    void append(); // new row at the end, insert state
    void insert(); // new row before the current one
    void edit();
    void post();
    void cancel();
    void deleteRecord();
    // True while editing and some field was assigned.
    bool modified() const { return m_modified; }

    // Calculated fields are computed by this handler at open and after each
    // post, with the dataset in a state that lets it set them.
    bool autoCalcFields() const { return m_autoCalc; }
    void setAutoCalcFields(bool on) { m_autoCalc = on; }
    std::function<void(DataSet&)> onCalcFields;
    std::function<void(DataSet&)> beforePost;

    // While disabled, bound controls do not follow scrolling and changes.
    void disableControls() { ++m_controlsDisabled; }
    void enableControls();
    bool controlsDisabled() const { return m_controlsDisabled > 0; }

    // --- snapshots ----------------------------------------------------------
    // The rows that pass the filter, with the data fields' definitions, in
    // the snapshot format ("RADICAL FILE"). Calculated and lookup fields are
    // not stored.
    [[nodiscard]] QByteArray saveToBytes() const;
    // Replaces definitions and rows by a snapshot's and opens the dataset
    // (persistent fields are kept and must all be in it). Raises "Invalid file
    // format" for anything that is not a whole, well-formed snapshot; the
    // dataset is then closed.
    void loadFromBytes(const QByteArray& bytes);
    void saveToFile(const QString& path) const;
    void loadFromFile(const QString& path);

    // --- raw access (snapshots, models) ------------------------------------
    using Row = std::vector<QVariant>;
    int rowCount() const { return int(m_rows.size()); } // all rows, filter ignored
    const Row& row(int index) const { return m_rows[size_t(index)]; }
    void appendRow(Row row); // a stored row in slot order; browse state only
    int slotCount() const { return m_slotCount; }
    // Value of a field in the filtered row at position index.
    QVariant valueAt(int index, const Field* f) const;

signals:
    void dataSetChanged(); // opened, closed, rows added or removed, filter
    void recordChanged();  // the cursor moved, or the current row changed
    void stateChanged();
    void fieldChanged(platform::Field* field);

protected:
    // Hooks for Query.
    virtual void doOpen(); // fills m_fieldDefs and m_rows
    virtual void doClose() {}
    // Writes a posted row back; old is empty for a new row. Throws on failure.
    virtual void writeBack(const Row& /*old*/, const Row& /*row*/) {}
    virtual void writeDelete(const Row& /*row*/) {}

    std::vector<FieldDef> m_fieldDefs;
    std::vector<Row> m_rows;

    // For the subclass: makes fields if needed, lays out slots, and returns
    // for each field definition the slot it fills (-1 for no field).
    std::vector<int> bindFieldsToDefs();

private:
    friend class Field;
    QVariant currentValue(const Field* f) const;
    void setCurrentValue(Field* f, const QVariant& v);
    QVariant oldValueOf(const Field* f) const;
    int rowIndexOf(int position) const; // filtered position → m_rows index
    void rebuildView();
    bool rowPassesFilter(const Row& r) const;
    void computeCalcFields(Row& r);
    void setState(DataSetState s);
    void checkActive() const;
    void checkBrowse(const char* operation) const;
    void notifyRecord();
    void notifyDataSet();
    void layoutSlots();
    void finishOpen();

    std::vector<std::unique_ptr<Field>> m_fields;
    bool m_persistent = false;
    int m_slotCount = 0;
    DataSetState m_state = DataSetState::Inactive;
    int m_cursor = -1;
    bool m_eof = true;
    bool m_bof = true;
    bool m_readOnly = false;
    bool m_autoCalc = true;
    bool m_modified = false;
    bool m_inCalc = false;
    int m_controlsDisabled = 0;

    Row m_buffer; // the row being edited or inserted
    Row m_oldRow; // the row as it was when editing began
    int m_insertAt = -1;

    QString m_filterText;
    bool m_filtered = false;
    struct Condition {
        QString field;
        QVariant value;
        bool isText;
    };
    std::vector<Condition> m_conditions;
    std::vector<int> m_view; // rows passing the filter, when filtered
};

} // namespace platform
