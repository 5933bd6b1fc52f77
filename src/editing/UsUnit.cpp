#include "UsUnit.h"

#include "ComponentRegistry.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

namespace editing
{

namespace
{

// The built-in design of the form class, in the component notation.
constexpr char kBuiltInDesign[] = R"(object UForm: TUForm
  Caption = 'UForm'
  FormStyle = fsStayOnTop
  Position = poScreenCenter
  OnClose = FormClose
  OnDestroy = FormDestroy
end
)";

// A form's outer size less its client size: the borders and the caption bar
// of a sizeable window.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 27;

} // namespace

TUForm::TUForm() : Control(this)
{
    ApplyBuiltInDesign(*this, kBuiltInDesign);
}

TUForm::~TUForm()
{
    if (eventHandler("OnDestroy") == "FormDestroy")
        FormDestroy(this);
}

QStringList TUForm::PublishedMethods()
{
    return {"FormClose", "FormDestroy"};
}

void TUForm::FormClose(QObject*, CloseAction& action)
{
    action = m_closeAction;
}

void TUForm::FormDestroy(QObject*)
{
    delete m_dataSource.data();
}

void TUForm::setFormDataSource(QObject* source)
{
    if (m_dataSource == source)
        return;
    delete m_dataSource.data();
    m_dataSource = source;
    if (source)
        source->setParent(this);
}

void TUForm::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "Width")
        m_clientSize.setWidth(int(IntegerValue(value)) - kFrameWidth);
    else if (name == "Height")
        m_clientSize.setHeight(int(IntegerValue(value)) - kFrameHeight);
    else if (name == "ClientWidth")
        m_clientSize.setWidth(int(IntegerValue(value)));
    else if (name == "ClientHeight")
        m_clientSize.setHeight(int(IntegerValue(value)));
    else if (name == "FormStyle")
        setWindowFlag(Qt::WindowStaysOnTopHint, value.text == "fsStayOnTop");
    else if (name == "Position")
        m_position = value.text;
    else if (name == "BorderStyle") {
        setWindowFlag(Qt::Tool, value.text == "bsToolWindow" || value.text == "bsSizeToolWin");
        setWindowFlag(Qt::FramelessWindowHint, value.text == "bsNone");
    } else if (name == "BorderIcons") {
        setWindowFlag(Qt::WindowMinimizeButtonHint, value.members.contains("biMinimize"));
        setWindowFlag(Qt::WindowMaximizeButtonHint, value.members.contains("biMaximize"));
        setWindowFlag(Qt::WindowContextHelpButtonHint, value.members.contains("biHelp"));
    } else if (name == "Icon.Data") {
        setWindowIcon(QIcon(QPixmap::fromImage(PictureImage(value.bytes))));
    } else if (name == "WindowState") {
        setWindowState(value.text == "wsMaximized"   ? Qt::WindowMaximized
                       : value.text == "wsMinimized" ? Qt::WindowMinimized
                                                     : Qt::WindowNoState);
    } else if (name == "Visible") {
        // A form is shown by whoever opens it, never while it is read.
        Component::applyProperty(name, value);
        return;
    }
    Control::applyProperty(name, value);
    if (name.startsWith("Client"))
        applyBounds();
}

void TUForm::applyBounds()
{
    move(bounds().topLeft());
    resize(m_clientSize.expandedTo(QSize(0, 0)));
}

void TUForm::setFaceColor(const QColor& color)
{
    if (!color.isValid())
        return;
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
}

void TUForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QRect area;
    if (m_position == "poScreenCenter" || m_position == "poDesktopCenter") {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            area = screen->availableGeometry();
    } else if (m_position == "poMainFormCenter" || m_position == "poOwnerFormCenter") {
        if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
            area = owner->frameGeometry();
    }
    if (area.isValid()) {
        QRect frame = frameGeometry();
        frame.moveCenter(area.center());
        move(frame.topLeft());
    }
}

void TUForm::closeEvent(QCloseEvent* event)
{
    CloseAction action = CloseAction::Hide;
    if (eventHandler("OnClose") == "FormClose")
        FormClose(this, action);
    switch (action) {
    case CloseAction::None:
        event->ignore();
        return;
    case CloseAction::Minimize:
        event->ignore();
        showMinimized();
        return;
    case CloseAction::Free:
        deleteLater();
        break;
    case CloseAction::Hide:
        break;
    }
    QDialog::closeEvent(event);
}

} // namespace editing
