#include "views/ProfilePicture.h"

#include <QBuffer>
#include <QByteArray>
#include <QPainter>

#include "project/Database.h"
#include "project/ProfileScales.h"
#include "views/ProfilePainter.h"

namespace fluvex {

namespace {

// Sharp enough for the cell edges and the text of the labels at a size a page can hold.
constexpr int kJpegQuality = 90;

}  // namespace

QImage DrawProfilePicture(Database& database, int line, QSize size, bool withColourBar) {
    if (size.isEmpty()) return {};
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const TextMetrics text = MeasureText(painter.fontMetrics());
    const ProfileLayout layout = ComputeProfileLayout(
        database, line, PixelRect{0, 0, size.width(), size.height()}, false, text);
    PaintProfile(painter, database, line, layout, withColourBar);
    return image;
}

std::vector<unsigned char> ProfileJpegPictures::LineJpeg(int line, int width, int height) {
    const QImage image = DrawProfilePicture(database_, line, QSize(width, height), withColourBar_);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) ||
        !image.save(&buffer, "JPEG", kJpegQuality))
        return {};
    return {jpeg.cbegin(), jpeg.cend()};
}

}  // namespace fluvex
