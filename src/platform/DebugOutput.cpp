#include "DebugOutput.h"

#include <QElapsedTimer>
#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace platform
{

namespace
{
DebugCapture* g_capture = nullptr;
}

DebugCapture::DebugCapture() : m_outer(g_capture)
{
    g_capture = this;
}
DebugCapture::~DebugCapture()
{
    g_capture = m_outer;
}

void DebugLine(const QString& text)
{
    if (g_capture)
        g_capture->m_lines.append(text);
    const QString line = text + QStringLiteral("\r\n");
#ifdef Q_OS_WIN
    OutputDebugStringW(reinterpret_cast<const wchar_t*>(line.utf16()));
#else
    static const bool enabled = qEnvironmentVariableIsSet("LOGDESK_DEBUG");
    if (enabled) {
        const QByteArray bytes = line.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    }
#endif
}

qint64 TickCount()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

} // namespace platform
