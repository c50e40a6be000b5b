#pragma once

// The C4 id of a byte string (SMPTE ST 2114): "c4" and its SHA-512 read as one big-endian number, in base 58
// (alphabet 1-9, A-Z without I and O, a-z without l), padded with '1' to 88 digits: 90 characters. The chain
// file of an ASC MHL history names each manifest by it.

#include <QByteArrayView>
#include <QString>

namespace mhl {

QString c4Id(QByteArrayView bytes);

} // namespace mhl
