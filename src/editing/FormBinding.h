#pragma once
// Binding a stored form to a record dataset: the TUForm.UDataSet assignment
// with the user's field rights, the value-transition rules of the fields, the
// lock-down of signed records, and the binding of every data control of the
// form to the form's data source.

#include "MagCommon.h"

#include <QPointer>
#include <QString>
#include <functional>

class QWidget;

namespace platform
{
class DataSet;
class DataSource;
} // namespace platform

namespace database
{
class TDM;
}

namespace editing
{

class TUForm;

// The message of a value refused by a field's value rule; the field's display
// label follows in double quotes.
inline constexpr char kInvalidFieldValue[] = "Недопустимое значение для поля ";
// The allowed list of a field whose transition list has no item for its value.
inline constexpr char kNoTransition[] = "NOPE";

// What a bound form needs from the window that owns it. The main window owns
// the data module, the journal tree and the chooser tree, and outlives its
// forms; the binding keeps a copy of this context.
struct FormContext {
    // Signature checks of the record (RecSigned) and the save of "Запись"
    // (UsrModify). None: no record counts as signed and nothing is saved.
    database::TDM* dm = nullptr;
    // The journal tree with the user's prepared rights; field rights are asked
    // of CheckRight from its first top-level node. None grants nothing.
    const catalogue::JournalTree* journals = nullptr;
    // The equipment chooser holder's tree, the drop-down of TEQRefCombo. None:
    // the chooser does not drop down.
    catalogue::EquipmentChooserTree* chooser = nullptr;
    // EditRecord: opens the record under the cursor of the dataset in its
    // record form. The record dialog is not part of this layer; until it is
    // set, a double-click on a record grid opens nothing.
    std::function<void(platform::DataSet& records)> editRecord;
    // ShowSignatures(RecID, UID): the signature window of a record. That
    // window comes later; by default nothing is shown.
    std::function<void(int recId, int uid)> showSignatures = [](int, int) {};
};

// TUForm.UDataSet := dataSet. Disposes of the form's previous data source;
// with a dataset, applies the user's rights to its fields (when its FULLPATH
// is not NULL): a field is visible exactly when CheckRight grants "r" and
// read-only exactly when it does not grant "w" (a lookup field is asked for
// by its key field's name), and a field that is not a lookup field gets the
// value rule of its "w" word's transition list, chosen for the value it holds
// now. Then the form gets a new data source for dataSet, owned by the form,
// and every data control of the form is bound to it (BindDataControls), with
// the record counting as signed when TDM.RecSigned says so for its RECID.
// None: the form is left without a data source. Rules stay on the fields
// after the form is gone, until the next binding of the dataset.
void SetUDataSet(TUForm& form, platform::DataSet* dataSet, const FormContext& context);

// The context and dataset of the bound form that holds widget (the nearest
// TUForm above it, or widget itself); null outside a bound form.
[[nodiscard]] const FormContext* FormContextOf(const QWidget* widget);
[[nodiscard]] platform::DataSet* FormDataSetOf(const QWidget* widget);

// True when recordQuery is open and has a field named exactly name (letter
// case counts).
[[nodiscard]] bool RecordQueryHasField(const platform::DataSet* recordQuery, const QString& name);

// Binds every control below container, in child order: windowed controls and
// data-aware labels through BindDataControl, then the children of windowed
// controls the same way.
void BindDataControls(QWidget* container, platform::DataSource* source, bool recordSigned);

// Binds one control when the dataset of source is open. A grid gets source,
// and each of its columns that names a field of the dataset is shown exactly
// when that field is visible. A data control whose DataField names a field of
// the dataset (exactly) gets source and is shown exactly when the field is
// visible; on a signed record the field becomes read-only when it holds a
// value, unless it is STATE or S_STATE. A data control whose field is not
// there loses its DataField and is disabled. Other controls are left alone.
void BindDataControl(QWidget* control, platform::DataSource* source, bool recordSigned);

// --- value rules ------------------------------------------------------------------

// The transition list of a rights word: the text between its first "(" or ")"
// and the next one; empty for a word without one ("w", "w()").
[[nodiscard]] QString TransitionList(const QString& rightsWord);

// The allowed values ("1|2") for a field holding current ("NULL" for an empty
// field): of the first 50 items of transitions, up to the first empty one,
// the first that begins with current + ">" or with "ALL>" gives everything
// after its first ">"; no such item, or nothing after it, gives "NOPE".
[[nodiscard]] QString AllowedValues(const QString& transitions, const QString& current);

// Whether text may be assigned under the allowed list: the scan of its first
// 50 values stops at the first empty one or the first equal to text, and the
// value stopped at must be text. So an empty text always passes.
[[nodiscard]] bool IsAllowedValue(const QString& allowed, const QString& text);

} // namespace editing
