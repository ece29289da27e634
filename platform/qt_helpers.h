// Small Qt helpers shared by the layer's files: text conversion, the blank colour and
// the size limit of every image the layer allocates. Private to platform/.
#pragma once

#include <QRgb>
#include <QString>

#include <string>

constexpr long long MaxImagePixels = 1LL << 28; // 1 GiB of RGB32; a larger image is not made
constexpr QRgb White = qRgb(255, 255, 255);     // never-drawn pixels of pictures and text boxes

// The UTF-8 text as a QString.
inline QString qtText(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
