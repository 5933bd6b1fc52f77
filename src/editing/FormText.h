#pragma once
// A plain-text notation for component trees, its compiler to the component
// stream and a printer of read trees.
//
// Notation: one block per component, nested,
//
//     object UForm1: TUForm            (also "object TUForm" for no name;
//       Caption = 'Запись'              "inherited" and "inline" in place of
//       Font.Style = [fsBold]           "object" set the prefix flags, and
//       object Panel1: TPanel [2]       "[n]" after the class the child position)
//         Align = alTop
//       end
//     end
//
// with one "Property = value" per line. Values are typed as in the stream:
// integers (decimal or $hex; the smallest integer type that holds them),
// floats (1.5 extended, 1.5s single, 1.5c currency, 1.5d date), strings in
// single quotes with '' for an apostrophe and #nnn for a character code
// (pieces may be joined with +; W'..' forces a wide string, U'..' a UTF-8
// string), identifiers (True, False and nil are their own types), sets
// [a, b], lists ( v v ), collections < item A = 1 end item [3] B = 2 end >
// with an optional order value, and binary data {hex}.

#include "ComponentStream.h"

#include <QString>
#include <QStringList>

namespace editing
{

namespace formtext
{
inline constexpr char kErrorAt[] = "line %1: %2";
inline constexpr char kExpected[] = "expected %1";
inline constexpr char kUnterminatedString[] = "unterminated string";
inline constexpr char kBadCharacterCode[] = "bad character code";
inline constexpr char kBadNumber[] = "bad number %1";
inline constexpr char kBadBinary[] = "bad binary data";
inline constexpr char kTextAfterEnd[] = "text after the last end";
inline constexpr char kTooDeep[] = "components nested too deep";
} // namespace formtext

// The tree of a notation text. Failure: platform::Error "line N: message"
// naming the first line that cannot be read.
[[nodiscard]] StreamComponent ParseFormText(const QString& text);

// The component stream of a notation text (ParseFormText, then
// WriteComponentStream). Failure: as those two.
[[nodiscard]] QByteArray CompileFormText(const QString& text);

// A value in the notation, on one line. Binary values longer than 32 bytes
// are shortened to their first 32 bytes and their size.
[[nodiscard]] QString FormatStreamValue(const StreamValue& value);

// One line per component, indented two blanks per level: the prefix word when
// the record has flags ("inherited", "inline"), the class, the name ("-" when
// empty), the child position in brackets, then every property as
// "Name=value" in stream order.
[[nodiscard]] QStringList PrintComponentTree(const StreamComponent& root);

} // namespace editing
