#pragma once
// Every message box of the program goes through this service, so tests and the
// headless tool see exactly what a user would have seen and can script answers.

#include <QString>
#include <functional>

namespace platform
{

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct Message {
    QString caption;
    QString text;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

// Shows the message (or hands it to the installed handler) and returns the answer.
MsgAnswer ShowMessage(const Message& message);

// The fixed message kinds of the program.
inline constexpr const char* kErrorCaption = "Ошибка";
inline constexpr const char* kWarningCaption = "Внимание";
inline constexpr const char* kConfirmCaption = "Подтвердите";
inline constexpr const char* kDeleteCaption = "Удаление";

void ShowError(const QString& text);   // "Ошибка", error icon, OK
void ShowWarning(const QString& text); // "Внимание", warning icon, OK
// The plain box that shows an exception's text (no caption of its own).
void ShowPlain(const QString& text);

// Replaces how messages are shown; returns the previous handler. Without a
// handler, a QApplication shows a QMessageBox and anything else prints the
// message on standard error and declines questions (Cancel, No).
using MessageHandler = std::function<MsgAnswer(const Message&)>;
// The handler for programs without windows: prints the message on standard
// error and declines questions (Cancel, No).
MsgAnswer PrintMessage(const Message& message);
MessageHandler SetMessageHandler(MessageHandler handler);

} // namespace platform
