#pragma once
// The program's single Base64 coder (alphabet of RFC 4648), used for stored
// forms and templates and for packed record contexts.
//
// Encoding: every 3 bytes give 4 characters; a last group of 1 byte gives 2
// characters and "==", of 2 bytes 3 characters and "="; the text is one line.
// Decoding is lenient by design, so that texts cut into pieces, wrapped or
// padded still read back: every character outside the alphabet (line breaks,
// blanks, "=", anything else) is skipped; every 4 alphabet characters give 3
// bytes; at the end 2 pending characters give 1 byte, 3 give 2 bytes, and a
// single pending character gives nothing. Decoding never fails and never
// reads outside its input.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace signature::rjMime
{

inline constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
inline constexpr char kPad = '=';

// bytes: any bytes, possibly none. Result: their Base64 text (empty for none).
[[nodiscard]] QString Encode(QByteArrayView bytes);

// text: Base64 text, possibly with foreign characters. Result: the decoded
// bytes by the rules above (empty when the text holds fewer than 2 alphabet
// characters).
[[nodiscard]] QByteArray Decode(QStringView text);

} // namespace signature::rjMime
