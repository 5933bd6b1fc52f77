#pragma once
// The program's own control classes of stored forms: the three buttons of the
// record dialog, the picture button, the record grid with striped rows, the
// equipment chooser, the equipment, date and time grid columns, and the date
// and time editors. This unit builds what their constructors set and what
// they show; what needs the record dataset or the chooser tree is left to
// hooks that the binding layer sets (each does nothing while it is empty).

#include "ComponentControls.h"

#include <functional>

namespace editing
{

// The shortened form of an equipment path: levels fromLevel to toLevel
// (counted from 0 at the top) separated by blanks. The levels are the
// non-empty words between grave accents. A blank follows every level below
// toLevel, so a path with fewer levels ends with a blank; fromLevel greater
// than toLevel gives empty text; a text of blanks only comes back unchanged.
[[nodiscard]] QString EQLevelText(const QString& text, int fromLevel, int toLevel);

// The background of a cell of a striped grid: for unselected cells with
// zebraColors on, the tooltip background in odd rows and white in even rows
// (rows counted from 0 over all shown rows); nullopt otherwise.
[[nodiscard]] std::optional<QColor> ZebraRowColor(bool zebraColors, bool selected, int row);

// A button with a glyph, a kind and a modal result (the dialog buttons).
// A click runs Click() and then, when the button has a modal result, ends
// its dialog with it: QDialog::Accepted for mrOk, QDialog::Rejected for
// mrCancel, the number itself otherwise. An error out of Click() is shown in
// the plain error box and the dialog still ends.
class BitButton : public QPushButton, public Control
{
public:
    BitButton();
    void applyProperty(const QString& name, const StreamValue& value) override;
    int modalResult() const { return m_modalResult; }

protected:
    virtual void Click() {}
    void setCaption(const QString& caption) override { setText(caption); }

private:
    void onClicked();
    void updateGlyph();
    int m_modalResult = 0;
    int m_numGlyphs = 1;
    QImage m_glyph;
};

// "Запись": confirms the record dialog; the click saves the record.
class TOKButton : public BitButton
{
public:
    TOKButton();
    // Saves the record (TDM.UsrModify); set by the binding layer.
    static inline std::function<void(TOKButton&)> saveRecord;

protected:
    void Click() override;
};

// "Отмена": cancels the record dialog; Esc presses it.
class TCancelButton : public BitButton
{
public:
    TCancelButton();
};

// "ЭЦП": opens the signature window for the current record.
class TSignButton : public BitButton
{
public:
    TSignButton();
    // Shows the signatures of the current record; set by the binding layer.
    static inline std::function<void(TSignButton&)> showSignatures;

protected:
    void Click() override;
};

// The picture editor that a picture button creates for itself: the field
// (PicField.DataField, PicField.DataSource) and its picture.
class PictureField : public QObject, public DataControl
{
public:
    QImage picture;
    bool readOnly = false;
};

// A flat button that opens the picture dialog for the picture of PicField.
class TPicButton : public QToolButton, public Control
{
public:
    TPicButton();
    void applyProperty(const QString& name, const StreamValue& value) override;
    void setReference(const QString& property, const QString& name, QObject* target) override;
    PictureField& picField() { return m_picField; }

    // Runs the picture dialog on the picture of PicField; set by the
    // binding layer (it needs the record dataset).
    static inline std::function<void(TPicButton&)> editPicture;

protected:
    void setCaption(const QString& caption) override { setText(caption); }

private:
    PictureField m_picField;
    int m_numGlyphs = 1;
    QImage m_glyph;
};

// The record grid: sorting by header click, no editing, all records loaded,
// whole-row selection, optional striped rows; a double-click opens the
// record.
class TUGrid : public DataGrid
{
public:
    TUGrid();
    void applyProperty(const QString& name, const StreamValue& value) override;
    bool zebraColors() const { return m_zebraColors; }
    std::optional<QColor> rowBackground(int row, bool selected) const override;

    // Opens the record under the cursor for viewing; set by the binding
    // layer.
    static inline std::function<void(TUGrid&)> openRecord;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool m_zebraColors = false;
};

// The equipment chooser: a read-only drop-down editor that shows its text
// shortened to the levels EQFromLevel to EQToLevel; the drop-down (the
// equipment tree) and the close-up that writes the chosen path are hooks.
class TEQRefCombo : public DataComboBox
{
public:
    TEQRefCombo();
    void applyProperty(const QString& name, const StreamValue& value) override;

    const QString& fullPath() const { return m_fullPath; }
    void setFullPath(const QString& path) { m_fullPath = path; }
    int eqFromLevel() const { return m_fromLevel; }
    int eqToLevel() const { return m_toLevel; }
    // The editor's own text (the lookup field's displayed text) and what it
    // shows of it.
    const QString& text() const { return m_text; }
    void setText(const QString& text);
    QString displayText() const;

    // Drops the chooser tree down; closes it up and writes the choice. Set
    // by the binding layer.
    static inline std::function<void(TEQRefCombo&)> dropDown;
    static inline std::function<void(TEQRefCombo&)> closeUp;

    void showPopup() override;
    void hidePopup() override;

protected:
    void setCaption(const QString& caption) override { setText(caption); }

private:
    QString m_text;
    QString m_fullPath;
    int m_fromLevel = 0;
    int m_toLevel = 99;
};

// A grid column that shows equipment paths shortened by EQLevelText.
class TdxEQColumn : public GridColumn
{
public:
    void applyProperty(const QString& name, const StreamValue& value) override;
    QString cellText(const QString& text) const override;
    int eqFromLevel() const { return m_fromLevel; }
    int eqToLevel() const { return m_toLevel; }

private:
    int m_fromLevel = 0;
    int m_toLevel = 99;
};

// Grid columns that show the date part (before the first blank) and the time
// part (between the first and the second blank) of the cell text.
class TdxDateColumnEx : public GridColumn
{
public:
    QString cellText(const QString& text) const override;
};

class TdxTimeColumnEx : public GridColumn
{
public:
    QString cellText(const QString& text) const override;
};

// Date and time editors that show their own text rather than a value
// reformatted from the field.
class OwnTextEdit : public DataEdit
{
public:
    QString displayValue(const QString& formatted) const override;
};

class TdxDBDateEditEx : public OwnTextEdit
{
};
class TdxDBTimeEditEx : public OwnTextEdit
{
};

} // namespace editing
