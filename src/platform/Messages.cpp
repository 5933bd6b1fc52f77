#include "Messages.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace platform
{

namespace
{

MessageHandler& handler()
{
    static MessageHandler h;
    return h;
}

QMessageBox::Icon boxIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

MsgAnswer showBox(const Message& m)
{
    QMessageBox box(boxIcon(m.icon), m.caption, m.text);
    switch (m.buttons) {
    case MsgButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    default:
        return MsgAnswer::Ok;
    }
}

} // namespace

MsgAnswer PrintMessage(const Message& m)
{
    const QByteArray line = (m.caption.isEmpty() ? m.text : m.caption + ": " + m.text).toUtf8();
    std::fprintf(stderr, "%s\n", line.constData());
    // Nobody can answer: a question is declined rather than taken as consent.
    switch (m.buttons) {
    case MsgButtons::OkCancel:
        return MsgAnswer::Cancel;
    case MsgButtons::YesNo:
        return MsgAnswer::No;
    case MsgButtons::Ok:
        break;
    }
    return MsgAnswer::Ok;
}

MsgAnswer ShowMessage(const Message& message)
{
    if (handler())
        return handler()(message);
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        return showBox(message);
    return PrintMessage(message);
}

void ShowError(const QString& text)
{
    ShowMessage({QString::fromUtf8(kErrorCaption), text, MsgIcon::Error, MsgButtons::Ok});
}

void ShowWarning(const QString& text)
{
    ShowMessage({QString::fromUtf8(kWarningCaption), text, MsgIcon::Warning, MsgButtons::Ok});
}

void ShowPlain(const QString& text)
{
    ShowMessage({QString(), text, MsgIcon::None, MsgButtons::Ok});
}

MessageHandler SetMessageHandler(MessageHandler h)
{
    MessageHandler previous = std::move(handler());
    handler() = std::move(h);
    return previous;
}

} // namespace platform
