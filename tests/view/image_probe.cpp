// Reads the canvas and PNG files through Qt for the view's pixel tests.
#include "tests/view/image_probe.h"

#include "platform/testing_access.h"
#include "view/controls.h"

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdlib>

ColourValue canvasPixel(int x, int y)
{
    QWidget* canvas = controlWidgetForTest(Canvas);
    if (canvas == nullptr)
        return 0;
    const QImage image = canvas->grab().toImage();
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return 0;
    const QRgb p = image.pixel(x, y);
    return makeRgba(static_cast<unsigned>(qRed(p)), static_cast<unsigned>(qGreen(p)),
                    static_cast<unsigned>(qBlue(p)), 255);
}

namespace {

bool close(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

int misplacedPixels(const std::string& actualPng, const std::string& referencePng, int tolerance)
{
    const QImage actual =
        QImage(QString::fromStdString(actualPng)).convertToFormat(QImage::Format_RGB32);
    const QImage reference =
        QImage(QString::fromStdString(referencePng)).convertToFormat(QImage::Format_RGB32);
    if (actual.isNull() || reference.isNull() || actual.size() != reference.size())
        return -1;
    int misplaced = 0;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y);
            bool matched = false;
            for (int dy = -1; dy <= 1 && !matched; ++dy)
                for (int dx = -1; dx <= 1 && !matched; ++dx) {
                    const int rx = x + dx, ry = y + dy;
                    if (rx >= 0 && ry >= 0 && rx < reference.width() && ry < reference.height())
                        matched = close(a, reference.pixel(rx, ry), tolerance);
                }
            misplaced += !matched;
        }
    }
    return misplaced;
}
