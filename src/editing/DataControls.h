#pragma once
// The data side of the controls of stored forms. Installed once, every data
// control class makes a data-aware object: it shows the field its DataField
// names in the current row of its data source's dataset, writes what the
// user changes back into that field (putting the dataset into edit state),
// follows the field's visibility and write permission and the dataset's
// cursor. Grids show the dataset through DataSetModel with their columns and
// move the cursor with the selection. The program's own controls get their
// actions: saving the record, the signature window, the picture dialog,
// opening a record from a record grid and the equipment chooser.
//
// The actions find what they work on through the form the control belongs
// to (FormBinding.h): its context and the dataset bound to it.

#include <QString>

class QTreeView;

namespace editing
{

class TOKButton;
class TSignButton;
class TPicButton;
class TUGrid;
class TEQRefCombo;

// The prompt that extended grids draw, after one blank, in their empty
// grouping panel.
inline constexpr char kGroupPanelPrompt[] =
    "Перетащите сюда заголовок столбца для группировки по нему";
// The warning of a double-click on a record grid without records.
inline constexpr char kNoRecords[] = "В таблице нет ни одной записи";

// Makes the data control classes of stored forms create their data-aware
// objects and connects the program's own controls to the actions below
// (errors of the actions go to the plain error box). Call at start, before
// the first stored form is read; calling it again installs the same again.
void InstallDataControls();

// "Запись": TDM.UsrModify of the form's data module. Errors propagate.
void SaveRecord(TOKButton& sender);

// "ЭЦП": the form context's ShowSignatures with the RECID of the form's
// dataset (0 when it is NULL or absent) and the logged-on user's UID.
void ShowRecordSignatures(TSignButton& sender);

// The picture button: nothing when the form's dataset is not open. Otherwise
// the dataset is put into edit state and the picture dialog shows the
// picture of the field PicField names; when the dialog is confirmed the
// picture is written into that field. A dataset or field that may not be
// changed (or PicField.ReadOnly) opens the dialog for viewing only, without
// edit state and without writing. Errors propagate.
void EditPicture(TPicButton& sender);

// Double-click on a record grid: with no records in the form's dataset, the
// warning "В таблице нет ни одной записи"; otherwise the context's EditRecord
// on the dataset made read-only for the call (its read-only state is
// restored afterwards, also when EditRecord fails).
void OpenGridRecord(TUGrid& sender);

// The equipment chooser's drop-down: when the combo has a data source and
// the key field of its lookup field (the field itself when it is no lookup
// field) is not read-only, the chooser holder's tree drops down, at least as
// wide as the combo, with the node whose FULLPATH is the key field's text
// selected and scrolled into view (the previous selection when there is no
// such node). Otherwise nothing drops down.
void DropDownChooser(TEQRefCombo& combo);

// The close-up: takes the choice only when the drop-down was closed by
// choosing (a double-click or Return on the tree) and the combo's dataset is
// being edited; then FullPath := the FULLPATH of the first selected node (in
// tree order, empty when none) and, when it is not empty, the key field is
// set to it. Any other close-up leaves everything as it was.
void CloseUpChooser(TEQRefCombo& combo);

// The tree view of the combo's drop-down; null before its first drop-down.
[[nodiscard]] QTreeView* ChooserTreeView(const TEQRefCombo& combo);

} // namespace editing
