// Helpers behind printing: the dimensions of the divider bitmap, and the print image,
// a copy of the window's picture taken just before printing and scaled onto the page.
#pragma once

#include "display/view/view_layout.h"

#include <QImage>

class QPainter;

namespace zentra {

// Bitmap resource whose width gives the inset of the dividers beside the page arrows.
inline constexpr int kDividerBitmapId = 159;

// A bitmap's dimensions as the platform reports them.
struct BitmapHeader {
    int type = 0;
    int width = 0;
    int height = 0;
    int widthBytes = 0; // bytes per line, rounded up to a 16-bit word
    int planes = 0;
    int bitsPixel = 0;
};

// Looks up a bitmap resource of the program and keeps its dimensions. Only the width
// of bitmap 159 (39 pixels) is ever used; an unknown id leaves everything 0.
class LoadABitmap {
  public:
    explicit LoadABitmap(int resourceId = kDividerBitmapId);
    virtual ~LoadABitmap() = default;

    int resourceId = kDividerBitmapId;
    bool loaded = false;
    BitmapHeader header{};
    Rect rect{}; // (0, 0, width, height)
};

// Half the divider bitmap's width: the gap left at each end of the middle divider
// for the page arrows (19 pixels).
int DividerInset();

// The captured window picture, kept in true colour (no colour table, no palette).
struct PrintImage {
    QImage image;
    bool Empty() const { return image.isNull(); }
    void Release() { image = QImage(); }
};

// Copies the (right - left) x (bottom - top) pixels at the source's origin into the
// print image, replacing what it held. False, with the image empty, when there is
// nothing to copy or the copy could not be made.
bool CapturePrintImage(const QImage& source, PrintImage& image, int left, int top, int right,
                       int bottom);

// Draws the source rectangle of the image into the destination rectangle: at the same
// size when both have the same width and height, otherwise stretched (nearest pixel,
// no smoothing). Returns the number of image rows drawn, 0 without an image.
int DrawPrintImage(QPainter& target, const Rect& source, const Rect& destination,
                   const PrintImage& image);

// The page rectangle for a w x h window picture: the full page width (pageWidth
// device pixels), the picture's aspect kept in physical units, three quarters of an
// inch less high than that. dpiX and dpiY are the device's pixels per inch. An empty
// picture or a device without a resolution gives an empty rectangle.
Rect PrintDestination(int w, int h, int pageWidth, int dpiX, int dpiY);

} // namespace zentra
