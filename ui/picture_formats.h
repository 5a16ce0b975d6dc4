#pragma once
// The picture formats the window can decode, found by file extension. A format
// is registered at start-up and unregistered at exit; a picture stored inside
// the program names its format's extension and looks the decoder up here.
#include <QByteArrayView>
#include <QImage>
#include <QString>

#include <functional>
#include <optional>

namespace zelmora {

struct PictureFormat {
    QString extension;    // without the dot, e.g. "jpg"
    QString description;  // e.g. "JPEG Image File"
    // A null image when the data can't be decoded.
    std::function<QImage(QByteArrayView)> decode;
};

// Adds a format; a later registration of the same extension replaces the
// earlier one.
void RegisterPictureFormat(PictureFormat format);

// Removes the format of that extension, if any.
void UnregisterPictureFormat(const QString& extension);

// The format registered for an extension, matched without regard to case and
// with or without a leading dot.
std::optional<PictureFormat> FindPictureFormat(const QString& extension);

// JPEG through libjpeg, under "jpeg" and "jpg", described as "JPEG Image File".
void RegisterJpegFormat();
void UnregisterJpegFormat();

// The JPEG decoder behind that registration: 24-bit colour, or 256 colours with
// a palette when the screen shows no more (or when asked for).
QImage DecodeJpegImage(QByteArrayView data);
QImage DecodeJpegImage(QByteArrayView data, bool palette);

}  // namespace zelmora
