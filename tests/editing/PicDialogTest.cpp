// The picture dialog and the picture button: the drawing rule, the file
// kinds and filters, the dialog's buttons, and what the button writes into
// the record.

#include "BoundFormFixture.h"
#include "Error.h"
#include "MagCtrls.h"
#include "PicDialogUnit.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

using namespace editing;

namespace
{

QByteArray BitmapBytes(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// The smallest enhanced metafile header: record type 1, " EMF" at 40.
QByteArray MetafileBytes()
{
    QByteArray bytes(88, '\0');
    qToLittleEndian<quint32>(1, bytes.data());
    qToLittleEndian<quint32>(88, bytes.data() + 4);
    qToLittleEndian<quint32>(0x464D4520, bytes.data() + 40);
    return bytes;
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

TEST(PicDialog, PictureIsCentredWhenItFitsAndScaledFromTheCornerWhenNot)
{
    struct Case {
        QSize image;
        QRect area;
        QRect expected;
    };
    const QRect box(0, 0, 221, 221);
    const std::vector<Case> cases = {
        {{0, 0}, box, {}},
        {{100, 50}, box, {60, 85, 100, 50}},
        {{221, 221}, box, box},
        {{10, 10}, {7, 7, 221, 221}, {112, 112, 10, 10}},
        {{442, 221}, box, {0, 0, 221, 111}},
        {{300, 600}, box, {0, 0, 111, 221}},
        {{300, 300}, box, {0, 0, 221, 221}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("%1x%2").arg(c.image.width()).arg(c.image.height()).toStdString());
        EXPECT_EQ(PictureTargetRect(c.image, c.area), c.expected);
    }
}

TEST(PicDialog, FiltersFollowTheKindOfThePicture)
{
    EXPECT_EQ(QtFileFilter(pictext::kFilter),
              "All (*.bmp *.ico *.emf *.wmf);;Bitmaps (*.bmp);;Icons (*.ico);;"
              "Enhanced Metafiles (*.emf);;Metafiles (*.wmf)");
    EXPECT_EQ(KindFilter(PictureKind::Icon), "Icons (*.ico)|*.ico");
    EXPECT_EQ(KindFilter(PictureKind::Metafile), "Metafiles (*.wmf)|*.wmf");
    EXPECT_EQ(DefaultExtension(PictureKind::Bitmap), "bmp");
    EXPECT_EQ(DefaultExtension(PictureKind::EnhancedMetafile), "emf");
}

TEST(PicDialog, PicturesLoadByExtensionAndKeepTheirFileBytes)
{
    QTemporaryDir dir;
    const QByteArray bitmap = BitmapBytes({30, 20});
    const Picture loaded = Picture::fromFile(WriteFile(dir, "red.BMP", bitmap));
    EXPECT_EQ(loaded.kind, PictureKind::Bitmap);
    EXPECT_EQ(loaded.image.size(), QSize(30, 20));
    EXPECT_EQ(loaded.data, bitmap);
    loaded.saveToFile(dir.filePath("copy.bmp"));
    QFile copy(dir.filePath("copy.bmp"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), bitmap);

    // As a stored form writes a picture: the class name, the length, the file.
    QByteArray stored = QByteArray("\x07TBitmap") + QByteArray(4, '\0') + bitmap;
    qToLittleEndian<quint32>(quint32(bitmap.size()), stored.data() + 8);
    EXPECT_EQ(Picture::fromBytes(stored).data, bitmap);
    EXPECT_EQ(Picture::fromBytes(bitmap).image.size(), QSize(30, 20));
    EXPECT_TRUE(Picture::fromBytes("no picture").isEmpty());

    const Picture metafile = Picture::fromFile(WriteFile(dir, "plan.emf", MetafileBytes()));
    EXPECT_EQ(metafile.kind, PictureKind::EnhancedMetafile);
    EXPECT_FALSE(metafile.isEmpty());
    EXPECT_TRUE(metafile.image.isNull());

    struct Bad {
        QString name;
        QByteArray bytes;
        QString message;
    };
    for (const Bad& b : {Bad{"photo.png", bitmap, "Unknown picture file extension (.png)"},
                         Bad{"broken.bmp", "BM garbage", "broken.bmp is not a valid picture file"},
                         Bad{"broken.wmf", bitmap, "broken.wmf is not a valid picture file"}}) {
        SCOPED_TRACE(b.name.toStdString());
        try {
            (void)Picture::fromFile(WriteFile(dir, b.name, b.bytes));
            ADD_FAILURE() << "no error";
        } catch (const platform::Error& e) {
            EXPECT_EQ(e.text(), b.message);
        }
    }
}

TEST(PicDialog, ButtonsActOnThePictureAtOnce)
{
    QTemporaryDir dir;
    const QString file = WriteFile(dir, "red.bmp", BitmapBytes({30, 20}));
    Picture picture;
    TPicDialog dialog(picture, false);
    EXPECT_EQ(dialog.windowTitle(), "Изображение");
    EXPECT_TRUE(dialog.saveButton()->isEnabled());
    EXPECT_TRUE(dialog.clearButton()->isEnabled());
    EXPECT_EQ(dialog.paintBox()->size(), QSize(221, 221));

    dialog.loadFromFile(file);
    EXPECT_EQ(picture.image.size(), QSize(30, 20));
    EXPECT_TRUE(dialog.saveButton()->isEnabled());
    dialog.clearPicture();
    EXPECT_TRUE(picture.isEmpty());
    EXPECT_FALSE(dialog.saveButton()->isEnabled());
    EXPECT_FALSE(dialog.clearButton()->isEnabled());
    // A failed load leaves the picture as it was.
    EXPECT_THROW(dialog.loadFromFile(dir.filePath("missing.bmp")), platform::Error);
    EXPECT_TRUE(picture.isEmpty());

    TPicDialog viewing(picture, true);
    EXPECT_FALSE(viewing.loadButton()->isEnabled());
    EXPECT_FALSE(viewing.clearButton()->isEnabled());
}

class PictureButton : public BoundFormTest
{
protected:
    // Clicks the button and handles the dialog that opens: loads file (when
    // given) and closes with result; false when no dialog opened.
    bool clickAndAnswer(TPicButton* button, const QString& file, int result,
                        bool* loadEnabled = nullptr)
    {
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TPicDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            opened = true;
            if (loadEnabled)
                *loadEnabled = dialog->loadButton()->isEnabled();
            if (!file.isEmpty())
                dialog->loadFromFile(file);
            dialog->done(result);
        });
        button->click();
        QCoreApplication::processEvents();
        return opened;
    }
};

TEST_F(PictureButton, WritesThePictureIntoItsFieldOnlyWhenConfirmed)
{
    QTemporaryDir dir;
    const QByteArray bitmap = BitmapBytes({16, 16});
    const QString file = WriteFile(dir, "red.bmp", bitmap);
    addRecord({kJournal, 1, "A", 1, "Текст", QDateTime()});
    auto form = bound("  object Pic: TPicButton\n    PicField.DataField = 'PHOTO'\n  end");
    auto* button = Named<TPicButton>(form.get(), "Pic");

    EXPECT_TRUE(clickAndAnswer(button, file, QDialog::Rejected));
    EXPECT_EQ(records.state(), platform::DataSetState::Edit);
    EXPECT_TRUE(field("PHOTO")->isNull());

    EXPECT_TRUE(clickAndAnswer(button, file, QDialog::Accepted));
    EXPECT_EQ(field("PHOTO")->value().toByteArray(), bitmap);
    EXPECT_EQ(button->picField().picture.size(), QSize(16, 16));

    // A record that may not be changed is only shown.
    records.post();
    records.setReadOnly(true);
    bool loadEnabled = true;
    EXPECT_TRUE(clickAndAnswer(button, QString(), QDialog::Accepted, &loadEnabled));
    EXPECT_FALSE(loadEnabled);
    EXPECT_EQ(records.state(), platform::DataSetState::Browse);

    records.close();
    EXPECT_FALSE(clickAndAnswer(button, file, QDialog::Accepted));
}

} // namespace
