#include "ui/picture_formats.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "resources/jpeg_decoder.h"

namespace zelmora {

namespace {

const char* const kJpegDescription = "JPEG Image File";

// Only the user-interface thread registers, looks up and unregisters.
std::vector<PictureFormat>& Formats() {
    static std::vector<PictureFormat> formats;
    return formats;
}

QString Normalized(const QString& extension) {
    return (extension.startsWith(u'.') ? extension.mid(1) : extension).toLower();
}

std::vector<PictureFormat>::iterator Find(const QString& normalized) {
    auto& formats = Formats();
    return std::find_if(formats.begin(), formats.end(),
                        [&](const PictureFormat& f) { return f.extension == normalized; });
}

bool ScreenShowsAPalette() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->depth() <= 8;
}

}  // namespace

void RegisterPictureFormat(PictureFormat format) {
    format.extension = Normalized(format.extension);
    auto it = Find(format.extension);
    if (it != Formats().end())
        *it = std::move(format);
    else
        Formats().push_back(std::move(format));
}

void UnregisterPictureFormat(const QString& extension) {
    auto it = Find(Normalized(extension));
    if (it != Formats().end()) Formats().erase(it);
}

std::optional<PictureFormat> FindPictureFormat(const QString& extension) {
    auto it = Find(Normalized(extension));
    if (it == Formats().end()) return std::nullopt;
    return *it;
}

void RegisterJpegFormat() {
    for (const char* extension : {"jpeg", "jpg"})
        RegisterPictureFormat({QString::fromLatin1(extension), QString::fromLatin1(kJpegDescription),
                               [](QByteArrayView data) { return DecodeJpegImage(data); }});
}

void UnregisterJpegFormat() {
    UnregisterPictureFormat(QStringLiteral("jpeg"));
    UnregisterPictureFormat(QStringLiteral("jpg"));
}

QImage DecodeJpegImage(QByteArrayView data) { return DecodeJpegImage(data, ScreenShowsAPalette()); }

QImage DecodeJpegImage(QByteArrayView data, bool palette) {
    DecodedJpeg decoded;
    try {
        decoded = DecodeJpeg(std::string_view(data.data(), static_cast<std::size_t>(data.size())),
                             palette ? JpegColours::kPalette : JpegColours::kTrueColour);
    } catch (const JpegError&) {
        return {};  // a picture that can't be decoded is simply not shown
    }
    QImage image(decoded.width, decoded.height, palette ? QImage::Format_Indexed8 : QImage::Format_RGB888);
    if (image.isNull()) return {};
    if (palette) {
        QList<QRgb> colours;
        colours.reserve(static_cast<qsizetype>(decoded.palette.size()));
        for (std::uint32_t c : decoded.palette) colours.push_back(0xff000000u | c);
        image.setColorTable(colours);
    }
    // QImage rows are 4-byte aligned; the decoded rows are packed.
    const std::size_t rowBytes = static_cast<std::size_t>(decoded.width) * decoded.bytesPerPixel();
    for (int y = 0; y < decoded.height; ++y)
        std::memcpy(image.scanLine(y), decoded.pixels.data() + y * rowBytes, rowBytes);
    return image;
}

}  // namespace zelmora
