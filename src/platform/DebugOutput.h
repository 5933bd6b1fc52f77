#pragma once
// Diagnostic lines for developers, never shown to the user. On Windows they go
// to the debugger channel; elsewhere to standard error when LOGDESK_DEBUG is set.
// Tests capture them with DebugCapture.

#include <QString>
#include <QStringList>

namespace platform
{

// Writes one line; the line ending CR LF is added here.
void DebugLine(const QString& text);

// While alive, every debug line is also appended to lines() (without CR LF).
// Captures nest: the innermost one receives the lines.
class DebugCapture
{
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    const QStringList& lines() const { return m_lines; }
    void clear() { m_lines.clear(); }

private:
    friend void DebugLine(const QString&);
    QStringList m_lines;
    DebugCapture* m_outer;
};

// Milliseconds since an arbitrary start, for timing lines.
qint64 TickCount();

} // namespace platform
