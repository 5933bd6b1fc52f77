#pragma once
// Single-byte code page 1251, used wherever text is hashed, stored or streamed
// as bytes (password digests, snapshots, component streams).

#include <QByteArray>
#include <QString>

namespace platform
{

// Characters that code page 1251 lacks become '?'.
QByteArray ToCp1251(const QString& text);
QString FromCp1251(const QByteArray& bytes);

// The code page 1251 code of one character, or -1 when it has none.
int Cp1251Code(QChar c);

} // namespace platform
