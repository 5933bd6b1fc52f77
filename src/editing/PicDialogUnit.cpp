#include "PicDialogUnit.h"

#include "ComponentStream.h"
#include "Error.h"
#include "Messages.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QPainter>
#include <QPushButton>
#include <QtEndian>
#include <optional>

namespace editing
{

using platform::Error;

namespace
{

struct KindInfo {
    PictureKind kind;
    const char* extension;
    const char* imageFormat; // the Qt image format that decodes it; null: not drawn
};

constexpr KindInfo kKinds[] = {
    {PictureKind::Bitmap, "bmp", "BMP"},
    {PictureKind::Icon, "ico", "ICO"},
    {PictureKind::EnhancedMetafile, "emf", nullptr},
    {PictureKind::Metafile, "wmf", nullptr},
};

const KindInfo* InfoOf(PictureKind kind)
{
    for (const KindInfo& k : kKinds)
        if (k.kind == kind)
            return &k;
    return nullptr;
}

// Little-endian numbers at an explicit position; nullopt past the end.
std::optional<quint32> U32At(QByteArrayView bytes, qsizetype pos)
{
    if (pos < 0 || bytes.size() - pos < 4)
        return std::nullopt;
    return qFromLittleEndian<quint32>(bytes.data() + pos);
}

std::optional<quint16> U16At(QByteArrayView bytes, qsizetype pos)
{
    if (pos < 0 || bytes.size() - pos < 2)
        return std::nullopt;
    return qFromLittleEndian<quint16>(bytes.data() + pos);
}

constexpr quint32 kEmfHeaderRecord = 1;
constexpr quint32 kEmfSignature = 0x464D4520; // " EMF"
constexpr qsizetype kEmfSignatureAt = 40;
constexpr quint32 kPlaceableMetafileKey = 0x9AC6CDD7;
constexpr quint16 kMetafileHeaderWords = 9;

// The kind of an image file by its first bytes.
PictureKind KindOfData(QByteArrayView data)
{
    if (data.startsWith("BM"))
        return PictureKind::Bitmap;
    if (U16At(data, 0) == 0 && U16At(data, 2) == 1)
        return PictureKind::Icon;
    if (U32At(data, 0) == kEmfHeaderRecord && U32At(data, kEmfSignatureAt) == kEmfSignature)
        return PictureKind::EnhancedMetafile;
    const std::optional<quint16> type = U16At(data, 0);
    if (U32At(data, 0) == kPlaceableMetafileKey ||
        ((type == 1 || type == 2) && U16At(data, 2) == kMetafileHeaderWords))
        return PictureKind::Metafile;
    return PictureKind::None;
}

QImage DecodeImage(const QByteArray& data, PictureKind kind)
{
    const KindInfo* info = InfoOf(kind);
    QImage image;
    if (info && info->imageFormat)
        image.loadFromData(data, info->imageFormat);
    return image;
}

// The numbers of a division rounded to the nearest integer.
int MulDiv(int a, int b, int c)
{
    return int((qint64(a) * b + c / 2) / c);
}

// A filter in the "name|patterns|..." form as (name, patterns) pairs.
QList<std::pair<QString, QString>> FilterPairs(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QList<std::pair<QString, QString>> pairs;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        pairs.append({parts[i], parts[i + 1]});
    return pairs;
}

// Draws the picture by the drawing rule.
class PaintBox : public QWidget
{
public:
    PaintBox(const Picture& picture, QWidget* parent) : QWidget(parent), m_picture(picture) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        const QRect target = PictureTargetRect(m_picture.image.size(), rect());
        if (target.isEmpty() || m_picture.image.isNull())
            return;
        QPainter p(this);
        p.drawImage(target, m_picture.image);
    }

private:
    const Picture& m_picture;
};

} // namespace

Picture Picture::fromBytes(const QByteArray& bytes)
{
    Picture p;
    p.data = ExtractGraphicData(bytes).image;
    p.kind = KindOfData(p.data);
    p.image = DecodeImage(p.data, p.kind);
    if (p.kind == PictureKind::None && p.image.isNull())
        return {};
    return p;
}

Picture Picture::fromFile(const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    const KindInfo* info = nullptr;
    for (const KindInfo& k : kKinds)
        if (extension == QLatin1String(k.extension))
            info = &k;
    if (!info)
        throw Error(QString::fromUtf8(pictext::kUnknownExtension).arg(extension));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QString::fromUtf8(pictext::kCannotRead).arg(path, file.errorString()));
    Picture p;
    p.data = file.readAll();
    p.kind = info->kind;
    p.image = DecodeImage(p.data, p.kind);
    const bool valid = info->imageFormat ? !p.image.isNull() : KindOfData(p.data) == p.kind;
    if (!valid)
        throw Error(QString::fromUtf8(pictext::kInvalidImage).arg(QFileInfo(path).fileName()));
    return p;
}

void Picture::saveToFile(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        throw Error(QString::fromUtf8(pictext::kCannotWrite).arg(path, file.errorString()));
}

QString QtFileFilter(const QString& filter)
{
    QStringList entries;
    for (const auto& [name, patterns] : FilterPairs(filter)) {
        const qsizetype open = name.indexOf(QLatin1String(" ("));
        const QString title = open < 0 ? name : name.left(open);
        entries.append(title + QStringLiteral(" (") + QString(patterns).replace(u';', u' ') + u')');
    }
    return entries.join(QStringLiteral(";;"));
}

QString DefaultExtension(PictureKind kind)
{
    const KindInfo* info = InfoOf(kind);
    return info ? QString::fromLatin1(info->extension) : QString();
}

QString KindFilter(PictureKind kind)
{
    const QString own = QStringLiteral("*.") + DefaultExtension(kind);
    for (const auto& [name, patterns] : FilterPairs(QString::fromUtf8(pictext::kFilter)))
        if (patterns == own)
            return name + u'|' + patterns;
    return QString::fromUtf8(pictext::kFilter);
}

QRect PictureTargetRect(QSize image, const QRect& area)
{
    const int w = image.width();
    const int h = image.height();
    if (w <= 0 || h < 0)
        return {};
    if (w <= area.width() && h <= area.height())
        return QRect(area.left() + (area.width() - w) / 2, area.top() + (area.height() - h) / 2, w,
                     h);
    if (h < w)
        return QRect(area.topLeft(), QSize(area.width(), MulDiv(h, area.width(), w)));
    return QRect(area.topLeft(), QSize(MulDiv(w, area.height(), h), area.height()));
}

// ---- TPicDialog

namespace
{

constexpr int kMargin = 8;
constexpr int kAreaSize = 235;
constexpr int kAreaInset = 7; // single border and a 5-pixel margin
constexpr int kPaintBoxSize = 221;
constexpr QSize kFrameButton(75, 23);
constexpr int kButtonGap = 5;
constexpr QSize kDialogButton(75, 25);

} // namespace

TPicDialog::TPicDialog(Picture& picture, bool viewOnly, QWidget* parent)
    : QDialog(parent), m_picture(picture), m_viewOnly(viewOnly)
{
    setWindowTitle(QString::fromUtf8(pictext::kCaption));
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    const int frameWidth = kAreaSize + 2 * kMargin;
    const int buttonsTop = kMargin + kAreaSize + kMargin;
    frame->setGeometry(kMargin, kMargin, frameWidth, buttonsTop + kFrameButton.height() + kMargin);

    auto* area = new QFrame(frame);
    area->setFrameShape(QFrame::Box);
    area->setLineWidth(1);
    area->setAutoFillBackground(true);
    area->setBackgroundRole(QPalette::Base);
    area->setGeometry(kMargin, kMargin, kAreaSize, kAreaSize);
    m_paintBox = new PaintBox(m_picture, area);
    m_paintBox->setGeometry(kAreaInset, kAreaInset, kPaintBoxSize, kPaintBoxSize);

    auto button = [&](const char* text, int left, QWidget* parentWidget, QSize size, int top) {
        auto* b = new QPushButton(QString::fromUtf8(text), parentWidget);
        b->setAutoDefault(false);
        b->setGeometry(QRect(QPoint(left, top), size));
        return b;
    };
    const int step = kFrameButton.width() + kButtonGap;
    m_load = button(pictext::kLoad, kMargin, frame, kFrameButton, buttonsTop);
    m_save = button(pictext::kSave, kMargin + step, frame, kFrameButton, buttonsTop);
    m_clear = button(pictext::kClear, kMargin + 2 * step, frame, kFrameButton, buttonsTop);
    const int right = kMargin + frameWidth + kMargin;
    QPushButton* ok = button(pictext::kOk, right, this, kDialogButton, kMargin);
    QPushButton* cancel = button(pictext::kCancel, right, this, kDialogButton,
                                 kMargin + kDialogButton.height() + kButtonGap);
    ok->setDefault(true);
    setFixedSize(right + kDialogButton.width() + kMargin, kMargin + frame->height() + kMargin);

    connect(m_load, &QPushButton::clicked, this, &TPicDialog::loadClick);
    connect(m_save, &QPushButton::clicked, this, &TPicDialog::saveClick);
    connect(m_clear, &QPushButton::clicked, this, &TPicDialog::clearPicture);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_load->setEnabled(!m_viewOnly);
    m_clear->setEnabled(!m_viewOnly);
}

void TPicDialog::loadFromFile(const QString& path)
{
    m_picture = Picture::fromFile(path);
    m_paintBox->update();
    updateButtons();
}

void TPicDialog::saveToFile(const QString& path) const
{
    if (!m_picture.isEmpty())
        m_picture.saveToFile(path);
}

void TPicDialog::clearPicture()
{
    m_picture = Picture();
    m_paintBox->update();
    updateButtons();
}

void TPicDialog::updateButtons()
{
    const bool holds = !m_picture.isEmpty();
    m_save->setEnabled(holds);
    m_clear->setEnabled(holds && !m_viewOnly);
}

void TPicDialog::loadClick()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QString(), QString(), QtFileFilter(QString::fromUtf8(pictext::kFilter)));
    if (path.isEmpty())
        return;
    try {
        loadFromFile(path);
    } catch (const std::exception& e) {
        platform::ShowPlain(platform::ErrorText(e));
    }
}

void TPicDialog::saveClick()
{
    if (m_picture.isEmpty())
        return;
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(DefaultExtension(m_picture.kind));
    dialog.setNameFilter(QtFileFilter(KindFilter(m_picture.kind)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    try {
        saveToFile(dialog.selectedFiles().constFirst());
    } catch (const std::exception& e) {
        platform::ShowPlain(platform::ErrorText(e));
    }
}

} // namespace editing
