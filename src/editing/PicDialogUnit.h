#pragma once
// The picture dialog of a picture button (TPicDialog): shows one picture and
// loads it from a file, saves it to a file or clears it. The picture of a
// record field is kept as the bytes of its image file (bitmap, icon,
// enhanced metafile or metafile); bitmaps and icons are drawn, metafiles are
// kept and saved but not drawn.

#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <QString>

class QPushButton;

namespace editing
{

enum class PictureKind { None, Bitmap, Icon, EnhancedMetafile, Metafile };

// The fixed texts of the dialog.
namespace pictext
{
inline constexpr char kCaption[] = "Изображение";
inline constexpr char kLoad[] = "Загрузить";
inline constexpr char kSave[] = "Сохранить";
inline constexpr char kClear[] = "Очистить";
inline constexpr char kOk[] = "OK";
inline constexpr char kCancel[] = "Отмена";
// The filter of the open and save dialogs, in the "name|patterns|..." form.
inline constexpr char kFilter[] =
    "All (*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.ico;*.emf;*.wmf|Bitmaps (*.bmp)|*.bmp|"
    "Icons (*.ico)|*.ico|Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf";
inline constexpr char kUnknownExtension[] = "Unknown picture file extension (.%1)";
inline constexpr char kInvalidImage[] = "%1 is not a valid picture file";
inline constexpr char kCannotRead[] = "Cannot open file \"%1\". %2";
inline constexpr char kCannotWrite[] = "Cannot create file \"%1\". %2";
} // namespace pictext

// One picture: the image file's bytes, its kind, and the image drawn from it
// (null for metafiles).
struct Picture {
    QByteArray data;
    PictureKind kind = PictureKind::None;
    QImage image;

    bool isEmpty() const { return data.isEmpty(); }
    // The picture of stored bytes: an image file, or a picture value as a
    // stored form writes it (see ExtractGraphicData). Unrecognised bytes give
    // an empty picture.
    [[nodiscard]] static Picture fromBytes(const QByteArray& bytes);
    // The picture of a file, its kind chosen by the file's extension.
    // Failure: platform::Error for an unknown extension, a file that cannot be
    // read, or a bitmap or icon that does not decode.
    [[nodiscard]] static Picture fromFile(const QString& path);
    // Writes the image file's bytes. Failure: platform::Error.
    void saveToFile(const QString& path) const;
};

// The file dialog filter for Qt ("name (patterns);;...") of a filter in the
// "name|patterns|name|patterns" form (patterns separated by ";").
[[nodiscard]] QString QtFileFilter(const QString& filter);
// The save dialog's default extension and filter for a kind of picture.
[[nodiscard]] QString DefaultExtension(PictureKind kind);
[[nodiscard]] QString KindFilter(PictureKind kind);

// Where an image of size image is drawn in area: at its own size and centred
// when it fits, otherwise scaled into area keeping its proportions from the
// top-left corner; an empty rectangle for an image of width 0.
[[nodiscard]] QRect PictureTargetRect(QSize image, const QRect& area);

// The dialog works on picture directly: its buttons change it at once, the
// dialog's result decides whether the caller keeps it. viewOnly disables
// "Загрузить" and "Очистить" (a picture that may not be changed).
class TPicDialog : public QDialog
{
    Q_OBJECT
public:
    TPicDialog(Picture& picture, bool viewOnly, QWidget* parent = nullptr);

    // The buttons' actions without their file dialogs; failures throw
    // platform::Error and leave the picture as it was.
    void loadFromFile(const QString& path);
    void saveToFile(const QString& path) const;
    void clearPicture();

    QPushButton* loadButton() const { return m_load; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* clearButton() const { return m_clear; }
    QWidget* paintBox() const { return m_paintBox; }

private:
    void loadClick();
    void saveClick();
    void updateButtons();

    Picture& m_picture;
    bool m_viewOnly;
    QWidget* m_paintBox;
    QPushButton* m_load;
    QPushButton* m_save;
    QPushButton* m_clear;
};

} // namespace editing
