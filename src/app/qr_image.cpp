#include "app/qr_image.h"

#include <qrencode.h>

#include <memory>

namespace velmora {

namespace {

constexpr int kQuietModules = 4;

}  // namespace

QImage QrImage(const QString& text, int modulePixels) {
    const QByteArray utf8 = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(utf8.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!code || modulePixels < 1) return {};
    const int n = code->width;
    const int side = (n + 2 * kQuietModules) * modulePixels;
    QImage image(side, side, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            if ((code->data[y * n + x] & 1) == 0) continue;
            for (int dy = 0; dy < modulePixels; ++dy) {
                uchar* row = image.scanLine((y + kQuietModules) * modulePixels + dy);
                for (int dx = 0; dx < modulePixels; ++dx)
                    row[(x + kQuietModules) * modulePixels + dx] = 0;
            }
        }
    return image;
}

}  // namespace velmora
