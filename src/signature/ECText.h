#pragma once
// The text forms of the engine's long integers: the hex text and the engine's
// own 64-character text (TBase64), which is not RFC 4648 Base64.
//
// Decoding accepts any bytes: characters outside the alphabets count as 0, so a
// damaged text decodes to a wrong number rather than failing. Nothing here reads
// or writes outside its buffers.

#include "ECVlPoint.h"

#include <QByteArray>
#include <QByteArrayView>

namespace signature
{

// Character number i of the engine text is kEngineAlphabet[i].
inline constexpr char kEngineAlphabet[] =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
// The character whose number is processed once more when an engine text ends
// with bits left over ("0", number 2).
inline constexpr int kEngineFillNumber = 2;

// The digits from the most significant down, four upper-case hexadecimal
// characters each; zero gives the empty text.
[[nodiscard]] QByteArray HexText(const TvlPoint& v);

// q = length / 4 digits, the first four characters the most significant digit;
// characters after the 4q-th are ignored. Characters other than 0-9 and A-F
// count as 0. Throws ECError when q exceeds 19.
[[nodiscard]] TvlPoint FromHexText(QByteArrayView hex);

// The engine's 64-character text coder.
class TBase64
{
public:
    // The engine text of a hex text read as bytes (two characters a byte):
    // four characters per three bytes; a last single byte gives two characters,
    // a last pair of bytes three characters and "+".
    [[nodiscard]] static QByteArray encode(QByteArrayView hex);
    // The hex text of an engine text: three bytes per four characters, a byte
    // after each character but the first of a group; when an incomplete last
    // group leaves bits that are not zero, one more character "0" is processed.
    [[nodiscard]] static QByteArray decode(QByteArrayView text);
};

} // namespace signature
