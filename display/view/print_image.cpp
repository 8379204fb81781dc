#include "display/view/print_image.h"

#include <QPainter>
#include <array>

namespace zentra {
namespace {

struct BitmapResource {
    int id;
    int width;
    int height;
    int bitsPixel;
};

// The program's bitmap resources: the toolbar strip (128) and four pictures of which
// only 159's width is used.
constexpr std::array<BitmapResource, 5> kBitmapResources{{
    {128, 128, 15, 4},
    {158, 39, 280, 8},
    {159, 39, 280, 8},
    {164, 16, 16, 8},
    {165, 16, 16, 8},
}};

} // namespace

LoadABitmap::LoadABitmap(int id) : resourceId(id) {
    for (const BitmapResource& resource : kBitmapResources) {
        if (resource.id != id)
            continue;
        loaded = true;
        header.width = resource.width;
        header.height = resource.height;
        header.planes = 1;
        header.bitsPixel = resource.bitsPixel;
        header.widthBytes = ((resource.width * resource.bitsPixel + 15) / 16) * 2;
        rect = {0, 0, resource.width, resource.height};
        return;
    }
}

int DividerInset() {
    return LoadABitmap(kDividerBitmapId).header.width / 2;
}

bool CapturePrintImage(const QImage& source, PrintImage& image, int left, int top, int right,
                       int bottom) {
    image.Release();
    const int w = right - left;
    const int h = bottom - top;
    if (source.isNull() || w <= 0 || h <= 0)
        return false;
    // The copy starts at the source's origin whatever left and top are, as the window
    // picture always does; pixels beyond the source come out black.
    QImage copy = source.copy(0, 0, w, h);
    if (copy.isNull())
        return false;
    image.image = copy.convertToFormat(QImage::Format_RGB32);
    return !image.Empty();
}

int DrawPrintImage(QPainter& target, const Rect& source, const Rect& destination,
                   const PrintImage& image) {
    if (image.Empty())
        return 0;
    target.save();
    target.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (destination.Width() == source.Width() && destination.Height() == source.Height()) {
        target.drawImage(QPoint(destination.left, destination.top), image.image, source.ToQRect());
    } else {
        target.drawImage(destination.ToQRect(), image.image, source.ToQRect());
    }
    target.restore();
    return source.Height();
}

Rect PrintDestination(int w, int h, int pageWidth, int dpiX, int dpiY) {
    if (w <= 0 || h <= 0 || pageWidth <= 0 || dpiX <= 0 || dpiY <= 0)
        return {};
    const double d =
        static_cast<double>(h) * pageWidth * dpiY / (static_cast<double>(w) * dpiX) - 0.75 * dpiY;
    return {0, 0, pageWidth, d > 0.0 ? static_cast<int>(d) : 0};
}

} // namespace zentra
