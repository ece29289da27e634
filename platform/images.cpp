// Numbered off-screen images: made, sized, read back and saved.
#include "platform/images.h"

#include "platform/drawing_state.h"
#include "platform/qt_helpers.h"

#include <cassert>

namespace {

constexpr int ImageDotsPerMeter = 3780; // 96 dots per inch: one point = 4/3 pixel

} // namespace

bool newImage(int slot, int width, int height, int depth, ColourValue fill)
{
    releaseSlot(slot);
    images.erase(slot);
    if (width < 1 || height < 1 || (depth != 24 && depth != 32))
        return false;
    if (static_cast<long long>(width) * height > MaxImagePixels)
        return false;
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return false;
    assert(image.width() == width && image.height() == height && image.depth() == 32);
    image.setDotsPerMeterX(ImageDotsPerMeter);
    image.setDotsPerMeterY(ImageDotsPerMeter);
    image.fill(opaqueRgb(fill));
    images.emplace(slot, std::move(image));
    return true;
}

void deleteImage(int slot)
{
    releaseSlot(slot);
    images.erase(slot);
}

bool imageExists(int slot)
{
    return imageIn(slot) != nullptr;
}

void imageSize(int slot, int& width, int& height)
{
    const QImage* image = imageIn(slot);
    width = image ? image->width() : 0;
    height = image ? image->height() : 0;
}

bool saveImagePng(int slot, const std::string& path)
{
    const QImage* image = imageIn(slot);
    return image != nullptr && image->save(qtText(path), "PNG");
}

ColourValue imagePixel(int slot, int x, int y)
{
    const QImage* image = imageIn(slot);
    if (image == nullptr || x < 0 || y < 0 || x >= image->width() || y >= image->height())
        return 0;
    const QRgb p = image->pixel(x, y);
    return makeRgba(static_cast<unsigned>(qRed(p)), static_cast<unsigned>(qGreen(p)),
                    static_cast<unsigned>(qBlue(p)), 255);
}

std::uint32_t* imagePixelRows(int slot, int& width, int& height, int& bytesPerLine)
{
    width = height = bytesPerLine = 0;
    QImage* image = imageIn(slot);
    if (image == nullptr || anyContextOpen() || image->format() != QImage::Format_RGB32)
        return nullptr;          // a painter may still hold pixels the caller would overwrite
    uchar* bits = image->bits(); // detaches a shared copy, so only this image changes
    if (bits == nullptr)
        return nullptr;
    width = image->width();
    height = image->height();
    bytesPerLine = static_cast<int>(image->bytesPerLine());
    return reinterpret_cast<std::uint32_t*>(bits);
}
