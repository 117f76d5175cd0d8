#pragma once
// A QR code of a text (libqrencode), black on white with the quiet zone the standard asks for.
#include <QImage>
#include <QString>

namespace velmora {

// Each module `modulePixels` wide; a null image when the text cannot be encoded.
QImage QrImage(const QString& text, int modulePixels);

}  // namespace velmora
