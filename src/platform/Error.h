#pragma once
// The one exception type of the program: a failure whose text reaches the user
// (or the caller) unchanged. what() is the text in UTF-8.

#include <QString>
#include <stdexcept>

namespace platform
{

class Error : public std::runtime_error
{
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// The text of any exception, for message boxes and logs.
inline QString ErrorText(const std::exception& e)
{
    if (auto* err = dynamic_cast<const Error*>(&e))
        return err->text();
    return QString::fromUtf8(e.what());
}

} // namespace platform
