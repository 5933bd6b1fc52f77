#include "ComponentRegistry.h"

#include "Error.h"
#include "FormText.h"
#include "MagCtrls.h"
#include "UsUnit.h"

#include <QHash>
#include <QPointer>
#include <initializer_list>
#include <limits>

namespace editing
{

using platform::Error;

namespace
{

// What a published property accepts from the stream.
enum class Kind {
    Integer,    // Int8, Int16, Int32
    Boolean,    // False, True (or those names as identifiers)
    Enum,       // an identifier of the property's list
    Set,        // a set of members of the property's list
    String,     // any string type
    Char,       // a string of one character
    Float,      // the float type of the property's kind, or an integer
    Color,      // an integer or a colour name
    Cursor,     // an integer or a cursor name
    Charset,    // an integer or a character set name
    Event,      // a published method of the root, or nil
    Reference,  // a component name, or nil
    Binary,     // data the object reads itself
    Strings,    // a list of strings
    Collection, // items with the property's item table
};

// The identifiers of an enumeration or set: a fixed list, or, for the option
// types of the extended controls, every identifier with a fixed prefix.
struct Idents {
    QStringList names;
    QString prefix;

    bool accepts(const QString& name) const
    {
        if (!prefix.isEmpty())
            return name.startsWith(prefix) && name.size() > prefix.size();
        return names.contains(name);
    }
};

struct PropertyDef;
using Defs = std::vector<PropertyDef>;

struct PropertyDef {
    QString name;
    Kind kind = Kind::Integer;
    const Idents* idents = nullptr;
    ValueType floatType = ValueType::Extended;
    std::shared_ptr<const Defs> items; // Collection
};

const PropertyDef* FindIn(const Defs& defs, const QString& name)
{
    for (const PropertyDef& d : defs)
        if (d.name.compare(name, Qt::CaseInsensitive) == 0)
            return &d;
    return nullptr;
}

struct ClassDef {
    QString name;
    QHash<QString, PropertyDef> properties; // by lower-case name
    QStringList methods;                    // published methods, for event handlers
    ComponentFactory create;

    const PropertyDef* find(const QString& property) const
    {
        auto it = properties.constFind(property.toLower());
        return it == properties.constEnd() ? nullptr : &it.value();
    }
};

// ---- property table builders

PropertyDef Def(const char* name, Kind kind)
{
    return {name, kind, nullptr, ValueType::Extended, nullptr};
}
PropertyDef Int(const char* n)
{
    return Def(n, Kind::Integer);
}
PropertyDef Bool(const char* n)
{
    return Def(n, Kind::Boolean);
}
PropertyDef Str(const char* n)
{
    return Def(n, Kind::String);
}
PropertyDef Col(const char* n)
{
    return Def(n, Kind::Color);
}
PropertyDef Ref(const char* n)
{
    return Def(n, Kind::Reference);
}
PropertyDef Bin(const char* n)
{
    return Def(n, Kind::Binary);
}
PropertyDef Lines(const char* n)
{
    return Def(n, Kind::Strings);
}
PropertyDef En(const char* n, const Idents& idents)
{
    PropertyDef d = Def(n, Kind::Enum);
    d.idents = &idents;
    return d;
}
PropertyDef SetOf(const char* n, const Idents& idents)
{
    PropertyDef d = Def(n, Kind::Set);
    d.idents = &idents;
    return d;
}
PropertyDef Flt(const char* n, ValueType type = ValueType::Extended)
{
    PropertyDef d = Def(n, Kind::Float);
    d.floatType = type;
    return d;
}
PropertyDef Coll(const char* n, Defs items)
{
    PropertyDef d = Def(n, Kind::Collection);
    d.items = std::make_shared<const Defs>(std::move(items));
    return d;
}

Defs Events(std::initializer_list<const char*> names)
{
    Defs defs;
    for (const char* n : names)
        defs.push_back(Def(n, Kind::Event));
    return defs;
}

Defs operator+(Defs a, const Defs& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Defs Prefixed(const QString& prefix, Defs defs)
{
    for (PropertyDef& d : defs)
        d.name = prefix + d.name;
    return defs;
}

// ---- identifier lists

const Idents kAlign{{"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient", "alCustom"},
                    {}};
const Idents kAnchors{{"akLeft", "akTop", "akRight", "akBottom"}, {}};
const Idents kAlignment{{"taLeftJustify", "taRightJustify", "taCenter"}, {}};
const Idents kLeftRight{{"taLeftJustify", "taRightJustify"}, {}};
const Idents kTextLayout{{"tlTop", "tlCenter", "tlBottom"}, {}};
const Idents kBevelCut{{"bvNone", "bvLowered", "bvRaised", "bvSpace"}, {}};
const Idents kBevelEdges{{"beLeft", "beTop", "beRight", "beBottom"}, {}};
const Idents kBevelKind{{"bkNone", "bkTile", "bkSoft", "bkFlat"}, {}};
const Idents kBorderStyle{{"bsNone", "bsSingle"}, {}};
const Idents kFormBorderStyle{
    {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}, {}};
const Idents kBorderIcons{{"biSystemMenu", "biMinimize", "biMaximize", "biHelp"}, {}};
const Idents kFormStyle{{"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"}, {}};
const Idents kPosition{{"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
                        "poScreenCenter", "poDesktopCenter", "poMainFormCenter",
                        "poOwnerFormCenter"},
                       {}};
const Idents kWindowState{{"wsNormal", "wsMinimized", "wsMaximized"}, {}};
const Idents kPrintScale{{"poNone", "poProportional", "poPrintToFit"}, {}};
const Idents kDefaultMonitor{{"dmDesktop", "dmPrimary", "dmMainForm", "dmActiveForm"}, {}};
const Idents kFontStyle{{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, {}};
const Idents kFontPitch{{"fpDefault", "fpVariable", "fpFixed"}, {}};
const Idents kDragKind{{"dkDrag", "dkDock"}, {}};
const Idents kDragMode{{"dmManual", "dmAutomatic"}, {}};
const Idents kBiDiMode{
    {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign", "bdRightToLeftReadingOnly"}, {}};
const Idents kHelpType{{"htKeyword", "htContext"}, {}};
const Idents kImeMode{{"imDisable", "imClose", "imOpen", "imDontCare", "imSAlpha", "imAlpha",
                       "imHira", "imSKata", "imKata", "imChinese", "imSHanguel", "imHanguel"},
                      {}};
const Idents kCharCase{{"ecNormal", "ecUpperCase", "ecLowerCase"}, {}};
const Idents kScrollStyle{{"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}, {}};
const Idents kScrollBarKind{{"ssRegular", "ssFlat", "ssHotTrack"}, {}};
const Idents kBevelShape{
    {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"}, {}};
const Idents kBevelStyle{{"bsLowered", "bsRaised"}, {}};
const Idents kBitBtnKind{{"bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo", "bkClose",
                          "bkAbort", "bkRetry", "bkIgnore", "bkAll"},
                         {}};
const Idents kButtonLayout{{"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"}, {}};
const Idents kButtonStyle{{"bsAutoDetect", "bsWin31", "bsNew"}, {}};
const Idents kCheckBoxState{{"cbUnchecked", "cbChecked", "cbGrayed"}, {}};
const Idents kNavButtons{{"nbFirst", "nbPrior", "nbNext", "nbLast", "nbInsert", "nbDelete",
                          "nbEdit", "nbPost", "nbCancel", "nbRefresh"},
                         {}};
const Idents kGridOptions{{"dgEditing", "dgAlwaysShowEditor", "dgTitles", "dgIndicator",
                           "dgColumnResize", "dgColLines", "dgRowLines", "dgTabs", "dgRowSelect",
                           "dgAlwaysShowSelection", "dgConfirmDelete", "dgCancelOnExit",
                           "dgMultiSelect"},
                          {}};
const Idents kColumnButtonStyle{{"cbsAuto", "cbsEllipsis", "cbsNone"}, {}};
const Idents kComboStyle{
    {"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed", "csOwnerDrawVariable"}, {}};
const Idents kDropDownAlign{{"daLeft", "daRight", "daCenter"}, {}};
const Idents kOpenOptions{
    {"ofReadOnly",         "ofOverwritePrompt",    "ofHideReadOnly",        "ofNoChangeDir",
     "ofShowHelp",         "ofNoValidate",         "ofAllowMultiSelect",    "ofExtensionDifferent",
     "ofPathMustExist",    "ofFileMustExist",      "ofCreatePrompt",        "ofShareAware",
     "ofNoReadOnlyReturn", "ofNoTestFileCreate",   "ofNoNetworkButton",     "ofNoLongNames",
     "ofOldStyleDialog",   "ofNoDereferenceLinks", "ofEnableIncludeNotify", "ofEnableSizing",
     "ofDontAddToRecent",  "ofForceShowHidden"},
    {}};
const Idents kOpenOptionsEx{{"ofExNoPlacesBar"}, {}};
const Idents kWeekDay{{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}, {}};
const Idents kYearDigits{{"dyDefault", "dyFour", "dyTwo"}, {}};
const Idents kCalendarStyle{{"csPopup", "csDialog"}, {}};
const Idents kRxGlyphKind{{"gkCustom", "gkDefault", "gkDropDown", "gkEllipsis"}, {}};
const Idents kRxPopupAlign{{"epaRight", "epaLeft"}, {}};
const Idents kLookAndFeel{{"lfStandard", "lfFlat", "lfUltraFlat"}, {}};
const Idents kEdges{{"edgLeft", "edgTop", "edgRight", "edgBottom"}, {}};
const Idents kSortOrder{{"csNone", "csUp", "csDown"}, {}};
// The option sets and styles of the extended controls are identified by
// their prefixes; the members the widgets act on are interpreted, the rest
// kept.
const Idents kGridOptionSet{{}, "edgo"};
const Idents kEditBorderStyle{{}, "xbs"};
const Idents kEditButtonStyle{{}, "bts"};
const Idents kEditButtonTransparence{{}, "ebt"};
const Idents kSummaryType{{}, "cst"};
const Idents kPopupBorder{{}, "pb"};
const Idents kPopupFormBorderStyle{{}, "pbs"};
const Idents kNullStyle{{}, "nss"};
const Idents kGraphicTransparency{{}, "gt"};
const Idents kSpinValueType{{"vtInt", "vtFloat"}, {}};
const Idents kBandFixed{{}, "bf"};
const Idents kDateOnError{{}, "de"};
const Idents kDateButtons{{}, "btn"};
const Idents kTimeFormat{{}, "tf"};
const Idents kFilterStatus{{}, "fs"};

// ---- property groups

Defs FontDefs(const QString& prefix)
{
    return Prefixed(prefix,
                    {Def("Charset", Kind::Charset), Col("Color"), Int("Height"), Str("Name"),
                     En("Pitch", kFontPitch), Int("Size"), SetOf("Style", kFontStyle)});
}

Defs ScrollBarDefs(const QString& prefix)
{
    return Prefixed(prefix, {Int("ButtonSize"), Col("Color"), Int("Increment"), Int("Margin"),
                             Bool("ParentColor"), Int("Position"), Int("Range"), Int("Size"),
                             Bool("Smooth"), En("Style", kScrollBarKind), Int("ThumbSize"),
                             Bool("Tracking"), Bool("Visible")});
}

// Every control: bounds, alignment, visibility, hints, mouse events.
Defs ControlDefs()
{
    return Defs{Int("Left"),
                Int("Top"),
                Int("Width"),
                Int("Height"),
                En("Align", kAlign),
                SetOf("Anchors", kAnchors),
                Int("Constraints.MaxHeight"),
                Int("Constraints.MaxWidth"),
                Int("Constraints.MinHeight"),
                Int("Constraints.MinWidth"),
                Def("Cursor", Kind::Cursor),
                Def("DragCursor", Kind::Cursor),
                En("DragKind", kDragKind),
                En("DragMode", kDragMode),
                Bool("Enabled"),
                Bool("Visible"),
                Str("Hint"),
                Bool("ShowHint"),
                Bool("ParentShowHint"),
                Int("Tag"),
                Int("HelpContext"),
                Str("HelpKeyword"),
                En("HelpType", kHelpType),
                Ref("PopupMenu"),
                En("BiDiMode", kBiDiMode),
                Bool("ParentBiDiMode")} +
           Events({"OnClick", "OnContextPopup", "OnDblClick", "OnDragDrop", "OnDragOver",
                   "OnEndDock", "OnEndDrag", "OnMouseDown", "OnMouseMove", "OnMouseUp",
                   "OnMouseEnter", "OnMouseLeave", "OnStartDock", "OnStartDrag", "OnResize",
                   "OnCanResize", "OnConstrainedResize"});
}

Defs LookDefs()
{
    return Defs{Col("Color"), Bool("ParentColor"), Bool("ParentFont")} + FontDefs("Font.");
}

// Controls with a window of their own: focus, keyboard, docking, bevels.
Defs WindowedDefs()
{
    return Defs{Int("TabOrder"),
                Bool("TabStop"),
                Bool("Ctl3D"),
                Bool("ParentCtl3D"),
                En("ImeMode", kImeMode),
                Str("ImeName"),
                Bool("DockSite"),
                Bool("UseDockManager"),
                SetOf("BevelEdges", kBevelEdges),
                En("BevelInner", kBevelCut),
                En("BevelOuter", kBevelCut),
                En("BevelKind", kBevelKind),
                Int("BevelWidth"),
                Int("BorderWidth"),
                Bool("AutoSize"),
                Bool("ParentBackground"),
                Bool("DoubleBuffered")} +
           Events({"OnEnter", "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnDockDrop",
                   "OnDockOver", "OnGetSiteInfo", "OnUnDock", "OnMouseWheel", "OnMouseWheelDown",
                   "OnMouseWheelUp"});
}

Defs VisualDefs()
{
    return ControlDefs() + LookDefs();
}

Defs WinDefs()
{
    return ControlDefs() + LookDefs() + WindowedDefs();
}

Defs DataDefs()
{
    return {Str("DataField"), Ref("DataSource"), Bool("ReadOnly")};
}

Defs EditTextDefs()
{
    return Defs{Bool("AutoSelect"),
                En("BorderStyle", kBorderStyle),
                En("CharCase", kCharCase),
                Bool("HideSelection"),
                Int("MaxLength"),
                Bool("OEMConvert"),
                Def("PasswordChar", Kind::Char),
                Str("Text")} +
           Events({"OnChange"});
}

Defs StandardEditDefs()
{
    return WinDefs() + DataDefs() + EditTextDefs();
}

// The extended editors: style, style controller, stored values.
Defs ExtendedEditDefs()
{
    return WinDefs() + DataDefs() +
           Defs{Col("Style.BorderColor"),
                En("Style.BorderStyle", kEditBorderStyle),
                En("Style.ButtonStyle", kEditButtonStyle),
                En("Style.ButtonTransparence", kEditButtonTransparence),
                SetOf("Style.Edges", kEdges),
                Bool("Style.HotTrack"),
                Bool("Style.Shadow"),
                Ref("StyleController"),
                Int("StoredValues"),
                En("Alignment", kAlignment),
                Bool("AutoSelect"),
                En("CharCase", kCharCase),
                Bool("HideSelection"),
                Int("MaxLength"),
                Def("PasswordChar", Kind::Char),
                Str("Text")} +
           Events({"OnChange", "OnValidate", "OnEditChange"});
}

// Extended editors with a button that drops something down.
Defs ExtendedDropDownDefs()
{
    return ExtendedEditDefs() +
           Defs{Bin("ButtonGlyph.Data"), Int("ClickKey"),           Int("DropDownRows"),
                Int("DropDownWidth"),    Bool("ImmediateDropDown"), En("PopupBorder", kPopupBorder),
                Bool("HideEditCursor")} +
           Events({"OnButtonClick", "OnCloseUp", "OnDropDown"});
}

// The drop-down editors of the standard pack.
Defs RxEditDefs()
{
    return StandardEditDefs() +
           Defs{En("Alignment", kAlignment),
                Str("ButtonHint"),
                Int("ButtonWidth"),
                Bool("CheckOnExit"),
                Int("ClickKey"),
                Bool("DirectInput"),
                En("GlyphKind", kRxGlyphKind),
                Bin("Glyph.Data"),
                Int("NumGlyphs"),
                En("PopupAlign", kRxPopupAlign)} +
           Events({"OnButtonClick"});
}

Defs GridColumnDefs()
{
    return Defs{En("Alignment", kAlignment),
                Int("BandIndex"),
                Str("Caption"),
                Col("Color"),
                Bool("DisableCaption"),
                Bool("DisableCustomizing"),
                Bool("DisableDragging"),
                Bool("DisableEditor"),
                Bool("DisableFilter"),
                Bool("DisableGrouping"),
                Str("FieldName"),
                En("HeaderAlignment", kAlignment),
                Bin("HeaderGlyph.Data"),
                Int("HeaderMaxLineCount"),
                Int("MinWidth"),
                Bool("ReadOnly"),
                Int("RowIndex"),
                Bool("Sizing"),
                En("Sorted", kSortOrder),
                Str("SummaryField"),
                Str("SummaryFooterField"),
                Str("SummaryFooterFormat"),
                En("SummaryFooterType", kSummaryType),
                Str("SummaryFormat"),
                En("SummaryType", kSummaryType),
                Bool("TabStop"),
                En("VertAlignment", kTextLayout),
                Bool("Visible"),
                Int("Width"),
                Int("Tag"),
                Int("GroupIndex")} +
           FontDefs("Font.") + Events({"OnGetText", "OnCustomDrawCell", "OnValidate", "OnChange"});
}

Defs ExtendedGridDefs()
{
    const Defs summaryItems = {Str("ColumnName"), Str("SummaryField"), Str("SummaryFormat"),
                               En("SummaryType", kSummaryType)};
    return WinDefs() + FontDefs("HeaderFont.") + FontDefs("BandFont.") + FontDefs("PreviewFont.") +
           Defs{
               Ref("DataSource"),
               Str("KeyField"),
               Coll("SummaryGroups",
                    {Str("Name"), Bool("DefaultGroup"), Coll("SummaryItems", summaryItems)}),
               Str("SummarySeparator"),
               Coll("Bands", {Str("Caption"), Int("Width"), Bool("Visible"),
                              En("Alignment", kAlignment), En("Fixed", kBandFixed), Int("MinWidth"),
                              Bool("Sizing"), Bool("DisableCustomizing"), Bool("DisableDragging")}),
               Bool("DefaultLayout"),
               Int("HeaderPanelRowCount"),
               Int("HeaderMinRowCount"),
               Bool("ShowGroupPanel"),
               Bool("ShowBands"),
               Bool("ShowHeader"),
               Bool("ShowSummaryFooter"),
               Bool("ShowRowFooter"),
               Bool("ShowNewItemRow"),
               Bool("ShowGrid"),
               Bool("ShowPreviewGrid"),
               Bool("ShowHiddenInCustomizeBox"),
               Str("PreviewFieldName"),
               Int("PreviewLines"),
               Bool("Filter.Active"),
               Bool("Filter.AutoDataSetFilter"),
               Bin("Filter.Criteria"),
               Int("Filter.DropDownCount"),
               En("Filter.FilterStatus", kFilterStatus),
               En("LookAndFeel", kLookAndFeel),
               SetOf("OptionsBehavior", kGridOptionSet),
               SetOf("OptionsCustomize", kGridOptionSet),
               SetOf("OptionsDB", kGridOptionSet),
               SetOf("OptionsView", kGridOptionSet),
               Col("GroupPanelColor"),
               Col("GroupPanelFontColor"),
               Col("GroupNodeColor"),
               Col("GroupNodeTextColor"),
               Col("GridLineColor"),
               Col("HighlightColor"),
               Col("HighlightTextColor"),
               Bool("HideFocusRect"),
               Bool("HideSelection"),
               Col("HideSelectionColor"),
               Col("HideSelectionTextColor"),
               Col("HeaderColor"),
               Col("BandColor"),
               Int("BandRowCount"),
               Int("BandMaxRowCount"),
               Int("MaxRowLineCount"),
               Col("RowFooterColor"),
               Col("RowFooterTextColor"),
               Int("RowSeparatorLineWidth"),
               Col("ArrowsColor"),
               Col("AutoSearchColor"),
               Col("AutoSearchTextColor"),
               Bool("AutoExpandOnSearch"),
               En("BorderStyle", kBorderStyle),
               Str("IniFileName"),
               Str("IniSectionName"),
               Str("RegistryPath"),
               En("ScrollBars", kScrollStyle),
               Col("FixedBandLineColor"),
               Int("FixedBandLineWidth"),
               Bool("DblClkExpanding"),
               Int("DefaultRowHeight"),
               Int("PartialLoadBufferCount")} +
           Events({"OnChangeNode", "OnColumnClick", "OnCustomDrawCell", "OnCustomDrawPreviewCell",
                   "OnCustomDrawColumnHeader", "OnChangedColumnsWidth", "OnSelectedCountChange",
                   "OnBackgroundDrawEvent"});
}

Defs PictureButtonDefs()
{
    return Defs{Str("Caption"), Bin("Glyph.Data"), Int("NumGlyphs"), En("Layout", kButtonLayout),
                Int("Margin"),  Int("Spacing")};
}

Defs BitButtonDefs()
{
    return WinDefs() + PictureButtonDefs() + Defs{En("Kind", kBitBtnKind),   Int("ModalResult"),
                                                  Bool("Default"),           Bool("Cancel"),
                                                  En("Style", kButtonStyle), Bool("WordWrap")};
}

Defs FormDefs()
{
    return ControlDefs() + LookDefs() +
           Defs{Str("Caption"),
                Int("ClientHeight"),
                Int("ClientWidth"),
                Ref("ActiveControl"),
                Bool("AutoScroll"),
                Bool("AutoSize"),
                SetOf("BorderIcons", kBorderIcons),
                En("BorderStyle", kFormBorderStyle),
                Int("BorderWidth"),
                En("FormStyle", kFormStyle),
                En("Position", kPosition),
                En("WindowState", kWindowState),
                Bool("KeyPreview"),
                Bool("OldCreateOrder"),
                Int("PixelsPerInch"),
                Int("TextHeight"),
                Bool("Scaled"),
                En("PrintScale", kPrintScale),
                Bin("Icon.Data"),
                En("DefaultMonitor", kDefaultMonitor),
                Str("HelpFile"),
                Ref("Menu"),
                Ref("WindowMenu"),
                Bool("AlphaBlend"),
                Int("AlphaBlendValue"),
                Bool("TransparentColor"),
                Col("TransparentColorValue"),
                Bool("Ctl3D"),
                Bool("DockSite"),
                Bool("UseDockManager")} +
           ScrollBarDefs("HorzScrollBar.") + ScrollBarDefs("VertScrollBar.") +
           Events({"OnActivate",     "OnClose",    "OnCloseQuery", "OnCreate",
                   "OnDeactivate",   "OnDestroy",  "OnHide",       "OnPaint",
                   "OnShow",         "OnShortCut", "OnHelp",       "OnKeyDown",
                   "OnKeyPress",     "OnKeyUp",    "OnMouseWheel", "OnMouseWheelDown",
                   "OnMouseWheelUp", "OnDockDrop", "OnDockOver",   "OnGetSiteInfo",
                   "OnUnDock"});
}

struct ClassEntry {
    const char* name;
    Defs properties;
    ComponentFactory create;
};

template <typename T> ComponentFactory Make()
{
    return [] { return new T; };
}

std::vector<ClassEntry> ClassEntries()
{
    const Defs eqLevels = {Int("EQFromLevel"), Int("EQToLevel")};
    const Defs dateEdit = {SetOf("DateButtons", kDateButtons), En("DateOnError", kDateOnError),
                           Bool("SaveTime"), Bool("UseEditMask"), Flt("Date", ValueType::Date)};
    const Defs timeEdit = {En("TimeEditFormat", kTimeFormat), Bool("UseCtrlIncrement"),
                           Flt("Time", ValueType::Date)};
    const Defs checkEdit = {
        Str("Caption"),      Bin("Glyph.Data"),           Int("GlyphCount"),
        Bool("AllowGrayed"), En("NullStyle", kNullStyle), En("State", kCheckBoxState),
        Str("ValueChecked"), Str("ValueGrayed"),          Str("ValueUnchecked"),
        Bool("ShowFocus")};
    const Defs listItems = {Lines("Items.Strings"), Bool("DropDownListStyle"), Bool("Revertable"),
                            Bool("CanEdit"), Bool("Sorted")};
    const Defs standardColumns = {
        Coll("Columns",
             Defs{Str("FieldName"), Str("Title.Caption"), En("Title.Alignment", kAlignment),
                  Col("Title.Color"), Int("Width"), Bool("Visible"), En("Alignment", kAlignment),
                  Bool("ReadOnly"), Col("Color"), En("ButtonStyle", kColumnButtonStyle),
                  Int("DropDownRows"), Lines("PickList.Strings"), Bool("Expanded"),
                  En("ImeMode", kImeMode), Str("ImeName")} +
                 FontDefs("Font.") + FontDefs("Title.Font."))};

    return {
        {"TUForm", FormDefs(), Make<TUForm>()},
        {"TPanel",
         WinDefs() + Defs{Str("Caption"), En("Alignment", kAlignment),
                          En("BorderStyle", kBorderStyle), Bool("FullRepaint"), Bool("Locked")},
         Make<TPanel>()},
        {"TScrollBox",
         WinDefs() + ScrollBarDefs("HorzScrollBar.") + ScrollBarDefs("VertScrollBar.") +
             Defs{Bool("AutoScroll"), En("BorderStyle", kBorderStyle)},
         Make<TScrollBox>()},
        {"TLabel",
         VisualDefs() + Defs{Str("Caption"), En("Alignment", kAlignment), Bool("AutoSize"),
                             Ref("FocusControl"), En("Layout", kTextLayout), Bool("ShowAccelChar"),
                             Bool("Transparent"), Bool("WordWrap")},
         Make<TLabel>()},
        {"TGroupBox", WinDefs() + Defs{Str("Caption")}, Make<TGroupBox>()},
        {"TImage",
         ControlDefs() + Defs{Bool("AutoSize"), Bool("Center"), Bool("IncrementalDisplay"),
                              Bin("Picture.Data"), Bool("Proportional"), Bool("Stretch"),
                              Bool("Transparent")},
         Make<TImage>()},
        {"TBevel", ControlDefs() + Defs{En("Shape", kBevelShape), En("Style", kBevelStyle)},
         Make<TBevel>()},
        {"TTreeNode",
         {Str("Text"), Int("ImageIndex"), Int("SelectedIndex"), Int("StateIndex"),
          Int("OverlayIndex"), Bool("Expanded")},
         Make<NonVisualComponent>()},
        {"TDataSource",
         Defs{Bool("AutoEdit"), Ref("DataSet"), Bool("Enabled"), Int("Tag")} +
             Events({"OnDataChange", "OnStateChange", "OnUpdateData"}),
         Make<TDataSource>()},
        {"TDBEdit", StandardEditDefs(), Make<DataEdit>()},
        {"TDBCheckBox",
         WinDefs() + DataDefs() +
             Defs{Str("Caption"), En("Alignment", kLeftRight), Bool("AllowGrayed"),
                  En("State", kCheckBoxState), Bool("Checked"), Str("ValueChecked"),
                  Str("ValueUnchecked"), Bool("WordWrap")},
         Make<DataCheckBox>()},
        {"TDBNavigator",
         WinDefs() +
             Defs{Ref("DataSource"), SetOf("VisibleButtons", kNavButtons), Bool("Flat"),
                  Lines("Hints.Strings"), Bool("ConfirmDelete")} +
             Events({"BeforeAction"}),
         Make<TDBNavigator>()},
        {"TDBMemo",
         WinDefs() + DataDefs() +
             Defs{En("Alignment", kAlignment), Bool("AutoDisplay"), En("BorderStyle", kBorderStyle),
                  Bool("HideSelection"), Lines("Lines.Strings"), Int("MaxLength"),
                  Bool("OEMConvert"), En("ScrollBars", kScrollStyle), Bool("WantReturns"),
                  Bool("WantTabs"), Bool("WordWrap")} +
             Events({"OnChange"}),
         Make<DataMemo>()},
        {"TDBGrid",
         WinDefs() + FontDefs("TitleFont.") + standardColumns +
             Defs{Ref("DataSource"), Bool("ReadOnly"), SetOf("Options", kGridOptions),
                  En("BorderStyle", kBorderStyle), Bool("DefaultDrawing"), Col("FixedColor")} +
             Events({"OnCellClick", "OnColEnter", "OnColExit", "OnColumnMoved", "OnDrawDataCell",
                     "OnDrawColumnCell", "OnEditButtonClick", "OnTitleClick"}),
         Make<DataGrid>()},
        {"TRxDBCalcEdit",
         RxEditDefs() + Defs{Bool("BeepOnError"), Int("DecimalPlaces"), Str("DisplayFormat"),
                             Bool("FormatOnEditing"), Flt("MaxValue"), Flt("MinValue"),
                             Bool("ZeroEmpty")},
         Make<DataEdit>()},
        {"TDBDateEdit",
         RxEditDefs() +
             Defs{Def("BlanksChar", Kind::Char), Lines("CalendarHints.Strings"),
                  Bool("DefaultToday"), Str("DialogTitle"), En("StartOfWeek", kWeekDay),
                  SetOf("Weekends", kWeekDay), Col("WeekendColor"), En("YearDigits", kYearDigits),
                  En("CalendarStyle", kCalendarStyle)} +
             Events({"OnAcceptDate"}),
         Make<DataEdit>()},
        {"TDBLookupComboBox",
         WinDefs() + DataDefs() +
             Defs{En("DropDownAlign", kDropDownAlign), Int("DropDownRows"), Int("DropDownWidth"),
                  Str("KeyField"), Str("ListField"), Int("ListFieldIndex"), Ref("ListSource"),
                  Int("NullValueKey")} +
             Events({"OnCloseUp", "OnDropDown"}),
         [] { return new DataComboBox(false); }},
        {"TDBComboBox",
         WinDefs() + DataDefs() +
             Defs{Lines("Items.Strings"), En("Style", kComboStyle), Int("DropDownCount"),
                  Int("ItemHeight"), Bool("Sorted"), En("CharCase", kCharCase)} +
             Events({"OnChange", "OnDrawItem", "OnDropDown", "OnMeasureItem"}),
         [] { return new DataComboBox(true); }},
        {"TDBImage",
         WinDefs() + DataDefs() +
             Defs{Bool("AutoDisplay"), En("BorderStyle", kBorderStyle), Bool("Center"),
                  Bool("QuickDraw"), Bool("Stretch")},
         Make<TDBImage>()},
        {"TDBText",
         VisualDefs() + Defs{Str("DataField"), Ref("DataSource"), En("Alignment", kAlignment),
                             Bool("AutoSize"), En("Layout", kTextLayout), Bool("ShowAccelChar"),
                             Bool("Transparent"), Bool("WordWrap")},
         Make<TDBText>()},
        {"TOpenPictureDialog",
         Defs{Str("DefaultExt"), Str("FileName"), Str("Filter"), Int("FilterIndex"),
              Int("HelpContext"), Str("InitialDir"), SetOf("Options", kOpenOptions),
              SetOf("OptionsEx", kOpenOptionsEx), Str("Title"), Int("Tag"), Bool("Ctl3D")} +
             Events({"OnCanClose", "OnClose", "OnShow", "OnFolderChange", "OnSelectionChange",
                     "OnTypeChange", "OnIncludeItem"}),
         Make<NonVisualComponent>()},
        {"TPicButton",
         VisualDefs() + PictureButtonDefs() +
             Defs{Bool("Flat"), Int("GroupIndex"), Bool("Down"), Bool("AllowAllUp"),
                  Bool("Transparent"), Str("PicField.DataField"), Ref("PicField.DataSource"),
                  Bool("PicField.ReadOnly")},
         Make<TPicButton>()},
        {"TOKButton", BitButtonDefs(), Make<TOKButton>()},
        {"TCancelButton", BitButtonDefs(), Make<TCancelButton>()},
        {"TSignButton", BitButtonDefs(), Make<TSignButton>()},
        {"TUGrid", ExtendedGridDefs() + Defs{Bool("ZebraColors")}, Make<TUGrid>()},
        {"TEQRefCombo", ExtendedDropDownDefs() + Defs{Str("FullPath")} + eqLevels,
         Make<TEQRefCombo>()},
        {"TdxDBDateEditEx", ExtendedDropDownDefs() + dateEdit, Make<TdxDBDateEditEx>()},
        {"TdxDBTimeEditEx", ExtendedEditDefs() + timeEdit, Make<TdxDBTimeEditEx>()},
        {"TdxDateColumnEx", GridColumnDefs(), Make<TdxDateColumnEx>()},
        {"TdxTimeColumnEx", GridColumnDefs(), Make<TdxTimeColumnEx>()},
        {"TdxEQColumn", GridColumnDefs() + eqLevels, Make<TdxEQColumn>()},
        {"TdxEditStyleController",
         Defs{Col("BorderColor"), En("BorderStyle", kEditBorderStyle),
              En("ButtonStyle", kEditButtonStyle),
              En("ButtonTransparence", kEditButtonTransparence), SetOf("Edges", kEdges),
              Bool("HotTrack"), Bool("Shadow"), Int("Tag")} +
             Events({"OnChange"}),
         Make<NonVisualComponent>()},
        {"TdxDBEdit", ExtendedEditDefs(), Make<DataEdit>()},
        {"TdxDBMRUEdit",
         ExtendedDropDownDefs() + listItems + Defs{Int("MaxItemCount"), Bool("ShowEllipsis")},
         [] { return new DataComboBox(true); }},
        {"TdxDBMaskEdit", ExtendedEditDefs() + Defs{Str("EditMask"), Bool("IgnoreMaskBlank")},
         Make<DataEdit>()},
        {"TdxDBMemo",
         ExtendedEditDefs() + Defs{En("ScrollBars", kScrollStyle), Bool("WantReturns"),
                                   Bool("WantTabs"), Bool("WordWrap"), Bool("SelectionBar"),
                                   Bool("HideScrollBars")},
         Make<DataMemo>()},
        {"TdxDBCheckEdit", ExtendedEditDefs() + checkEdit, Make<DataCheckBox>()},
        {"TdxDBImageEdit",
         ExtendedDropDownDefs() + Defs{Ref("Images"), Ref("LargeImages"),
                                       Lines("Descriptions.Strings"), Lines("ImageIndexes.Strings"),
                                       Lines("Values.Strings"), Bool("DefaultImages"),
                                       Bool("MultiLineText"), Bool("ShowDescription")},
         [] { return new DataComboBox(false); }},
        {"TdxDBSpinEdit",
         ExtendedEditDefs() + Defs{Flt("MaxValue"), Flt("MinValue"), Flt("Increment"),
                                   En("ValueType", kSpinValueType), Bool("EditorEnabled"),
                                   Bool("UseCtrlIncrement")},
         Make<DataEdit>()},
        {"TdxDBPickEdit", ExtendedDropDownDefs() + listItems,
         [] { return new DataComboBox(true); }},
        {"TdxDBCalcEdit",
         ExtendedDropDownDefs() + Defs{Bool("BeepOnError"), Int("Precision"), Bool("QuickClose")},
         Make<DataEdit>()},
        {"TdxDBGraphicEdit",
         ExtendedEditDefs() +
             Defs{Bool("Center"), Bool("Stretch"), Bool("QuickDraw"), Int("ClipboardFormat"),
                  Str("CustomFilter"), Bool("CustomGraphic"),
                  En("GraphicTransparency", kGraphicTransparency), Bool("DblClickActivate")} +
             Events({"OnAssignPicture"}),
         Make<TDBImage>()},
        {"TdxDBPopupEdit",
         ExtendedDropDownDefs() +
             Defs{Ref("PopupControl"), En("PopupFormBorderStyle", kPopupFormBorderStyle),
                  Bool("PopupAutoSize"), Int("PopupHeight"), Int("PopupWidth"),
                  Int("PopupMinHeight"), Int("PopupMinWidth"), Str("PopupFormCaption"),
                  Bool("PopupSizeable"), Bool("PopupClientEdge")} +
             Events({"OnPopup", "OnInitPopup"}),
         Make<DataEdit>()},
        {"TdxDBLookupEdit",
         ExtendedDropDownDefs() + Defs{Str("ListFieldName"), Int("ListFieldIndex"),
                                       Bool("CanDeleteText"), Bool("DropDownListStyle"),
                                       Int("ClearKey")},
         [] { return new DataComboBox(false); }},
        {"TdxDBGrid", ExtendedGridDefs(), Make<DataGrid>()},
        {"TdxDBTreeListColumn", GridColumnDefs(), Make<GridColumn>()},
    };
}

struct Registry {
    std::vector<ClassDef> classes;
    QHash<QString, ClassDef*> byLowerName;
    OutsideLookup outside;

    Registry()
    {
        for (ClassEntry& entry : ClassEntries()) {
            ClassDef def;
            def.name = entry.name;
            for (PropertyDef& p : entry.properties)
                def.properties.insert(p.name.toLower(), p);
            def.create = std::move(entry.create);
            if (def.name == "TUForm")
                def.methods = TUForm::PublishedMethods();
            classes.push_back(std::move(def));
        }
        for (ClassDef& def : classes)
            byLowerName.insert(def.name.toLower(), &def);
    }

    ClassDef* find(const QString& name) { return byLowerName.value(name.toLower()); }
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

[[noreturn]] void InvalidValue()
{
    throw Error(streamtext::kInvalidPropertyValue);
}

bool IsNamed(const StreamValue& v, const char* name)
{
    return v.type == ValueType::Ident &&
           v.text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// Checks a value against its property's kind (an event's method is checked
// by the reader, which knows the root).
void CheckValue(const PropertyDef& def, const StreamValue& v)
{
    bool fits = false;
    switch (def.kind) {
    case Kind::Integer:
        // A 64-bit integer that fits 32 bits is the same number.
        fits = v.isInteger() ||
               (v.type == ValueType::Int64 && v.integer >= std::numeric_limits<qint32>::min() &&
                v.integer <= std::numeric_limits<qint32>::max());
        break;
    case Kind::Boolean:
        fits = v.type == ValueType::False || v.type == ValueType::True || IsNamed(v, "False") ||
               IsNamed(v, "True");
        break;
    case Kind::Enum:
        fits = v.type == ValueType::Ident && def.idents->accepts(v.text);
        break;
    case Kind::Set:
        fits = v.type == ValueType::Set &&
               std::all_of(v.members.begin(), v.members.end(),
                           [&](const QString& m) { return def.idents->accepts(m); });
        break;
    case Kind::String:
        fits = v.isString();
        break;
    case Kind::Char:
        fits = v.isString() && v.text.size() == 1;
        break;
    case Kind::Float:
        fits = v.type == def.floatType || v.isInteger();
        break;
    case Kind::Color:
        fits = v.isInteger() || (v.type == ValueType::Ident && ColorCode(v.text));
        break;
    case Kind::Cursor:
        fits = v.isInteger() || (v.type == ValueType::Ident && CursorCode(v.text));
        break;
    case Kind::Charset:
        fits = v.isInteger() || (v.type == ValueType::Ident && CharsetCode(v.text));
        break;
    case Kind::Event:
    case Kind::Reference:
        fits = v.type == ValueType::Ident || v.type == ValueType::Nil;
        break;
    case Kind::Binary:
        fits = v.type == ValueType::Binary;
        break;
    case Kind::Strings:
        fits = v.type == ValueType::List &&
               std::all_of(v.list.begin(), v.list.end(),
                           [](const StreamValue& item) { return item.isString(); });
        break;
    case Kind::Collection:
        if (v.type != ValueType::Collection)
            break;
        for (const CollectionItem& item : v.items)
            for (const StreamProperty& p : item.properties) {
                const PropertyDef* itemDef = FindIn(*def.items, p.name);
                if (!itemDef)
                    throw Error(QString(streamtext::kPropertyDoesNotExist).arg(p.name));
                CheckValue(*itemDef, p.value);
            }
        fits = true;
        break;
    }
    if (!fits)
        InvalidValue();
}

// The values of a collection with the item properties' names as the table
// writes them.
StreamValue Canonical(const PropertyDef& def, StreamValue v)
{
    if (def.kind == Kind::Collection)
        for (CollectionItem& item : v.items)
            for (StreamProperty& p : item.properties) {
                const PropertyDef* itemDef = FindIn(*def.items, p.name);
                p.value = Canonical(*itemDef, std::move(p.value));
                p.name = itemDef->name;
            }
    return v;
}

// Reads a stream into objects, checking every part against the registry.
class ComponentBuilder : public ComponentSink
{
public:
    ComponentBuilder(Registry& registry, const ReadOptions& options)
        : m_registry(registry), m_options(options)
    {
    }

    ~ComponentBuilder() override
    {
        if (m_succeeded || m_ownedRoot)
            return; // a new root takes its children along when it goes
        // Read into an existing root: remove what this reading added, the
        // deepest components first.
        for (auto it = m_created.rbegin(); it != m_created.rend(); ++it)
            delete it->data();
    }

    void beginComponent(const ComponentHeader& header) override
    {
        const ClassDef* def = m_registry.find(header.className);
        if (!def)
            throw Error(QString(streamtext::kClassNotFound).arg(header.className));
        Component* component = m_stack.empty() ? beginRoot(*def, header) : beginChild(*def, header);
        m_stack.push_back({def, component});
        if (m_options.tree)
            m_tree.beginComponent(header);
    }

    void beginProperty(const QString& name) override
    {
        m_property = m_stack.back().def->find(name);
        if (!m_property)
            throw Error(QString(streamtext::kPropertyDoesNotExist).arg(name));
    }

    void property(const StreamProperty& property) override
    {
        const PropertyDef& def = *m_property;
        CheckValue(def, property.value);
        const bool named = property.value.type == ValueType::Ident;
        if (def.kind == Kind::Event && named && !m_rootDef->methods.contains(property.value.text))
            InvalidValue();
        if (m_options.tree)
            m_tree.property(property);
        Component* component = m_stack.back().component;
        if (!component)
            return;
        if (def.kind == Kind::Event)
            component->setEventHandler(def.name, named ? property.value.text : QString());
        else if (def.kind == Kind::Reference)
            m_references.push_back({component, def.name, named ? property.value.text : QString()});
        else
            component->applyProperty(def.name, Canonical(def, property.value));
    }

    void endProperties() override {}

    void endComponent() override
    {
        if (Component* component = m_stack.back().component)
            m_finished.push_back(component);
        m_stack.pop_back();
        if (m_options.tree)
            m_tree.endComponent();
    }

    // After the stream: references, loaded(), layout. Returns the new root.
    std::unique_ptr<QObject> finish()
    {
        for (const Reference& r : m_references)
            r.component->setReference(r.property, r.name, resolve(r.name));
        for (Component* c : m_finished)
            c->loaded();
        if (auto* control = dynamic_cast<Control*>(m_root))
            ArrangeChildren(control->childParent());
        if (m_options.tree)
            *m_options.tree = m_tree.takeRoot();
        m_succeeded = true;
        return std::move(m_ownedRoot);
    }

private:
    struct Frame {
        const ClassDef* def;
        Component* component; // null when objects are not created
    };
    struct Reference {
        Component* component;
        QString property;
        QString name;
    };

    Component* beginRoot(const ClassDef& def, const ComponentHeader& header)
    {
        m_rootDef = &def;
        m_rootName = header.name;
        if (!m_options.createObjects)
            return nullptr;
        if (m_options.into) {
            m_root = m_options.into;
        } else {
            m_root = def.create();
            m_ownedRoot.reset(m_root->object());
        }
        m_root->setClassName(def.name);
        m_root->object()->setObjectName(header.name);
        return m_root;
    }

    Component* beginChild(const ClassDef& def, const ComponentHeader& header)
    {
        const QString key = header.name.toLower();
        if (!key.isEmpty() && m_names.contains(key)) {
            if (!(header.flags & kFlagInherited))
                throw Error(QString(streamtext::kDuplicateName).arg(header.name));
            return m_names.value(key);
        }
        Component* child = nullptr;
        if (m_options.createObjects) {
            child = def.create();
            child->setClassName(def.name);
            m_created.push_back(child->object());
            child->object()->setObjectName(header.name);
            m_stack.back().component->addChild(*child);
        }
        if (!key.isEmpty())
            m_names.insert(key, child);
        return child;
    }

    QObject* resolve(const QString& name) const
    {
        if (name.isEmpty())
            return nullptr;
        const qsizetype dot = name.indexOf('.');
        if (dot < 0 || name.left(dot).compare(m_rootName, Qt::CaseInsensitive) == 0) {
            Component* c = m_names.value(name.mid(dot + 1).toLower());
            return c ? c->object() : nullptr;
        }
        const OutsideLookup& lookup = m_options.outside ? m_options.outside : m_registry.outside;
        return lookup ? lookup(name.left(dot), name.mid(dot + 1)) : nullptr;
    }

    Registry& m_registry;
    const ReadOptions& m_options;
    std::vector<Frame> m_stack;
    const ClassDef* m_rootDef = nullptr;
    QString m_rootName;
    Component* m_root = nullptr;
    std::unique_ptr<QObject> m_ownedRoot;
    std::vector<QPointer<QObject>> m_created;
    QHash<QString, Component*> m_names; // the root's components by lower-case name
    std::vector<Reference> m_references;
    std::vector<Component*> m_finished; // in the order their records ended
    const PropertyDef* m_property = nullptr;
    StreamTreeBuilder m_tree;
    bool m_succeeded = false;
};

} // namespace

QStringList RegisteredClassNames()
{
    QStringList names;
    for (const ClassDef& def : TheRegistry().classes)
        names << def.name;
    return names;
}

bool ReplaceComponentFactory(const QString& className, ComponentFactory factory)
{
    ClassDef* def = TheRegistry().find(className);
    if (!def)
        return false;
    def->create = std::move(factory);
    return true;
}

void SetOutsideLookup(OutsideLookup lookup)
{
    TheRegistry().outside = std::move(lookup);
}

std::unique_ptr<QObject> ReadComponent(QByteArrayView bytes, qsizetype& pos,
                                       const ReadOptions& options)
{
    ComponentBuilder builder(TheRegistry(), options);
    ReadComponentStream(bytes, pos, builder);
    return builder.finish();
}

std::unique_ptr<QObject> ReadComponent(const QByteArray& stream, const ReadOptions& options)
{
    qsizetype pos = 0;
    return ReadComponent(stream, pos, options);
}

void ApplyBuiltInDesign(Component& component, const char* design)
{
    // Designs are string constants of the program, so their addresses name them.
    static QHash<const char*, QByteArray> compiled;
    auto it = compiled.find(design);
    if (it == compiled.end())
        it = compiled.insert(design, CompileFormText(QString::fromUtf8(design)));
    ReadOptions options;
    options.into = &component;
    (void)ReadComponent(*it, options);
}

} // namespace editing
