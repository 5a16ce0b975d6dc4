// The picture-format registry, the JPEG format behind it, and the About page's
// picture and icon as the window gets them.
#include <QtTest>

#include <string>

#include "resources/resources.h"
#include "ui/about_content.h"
#include "ui/picture_formats.h"

using namespace zelmora;

namespace {

QByteArray EmbeddedJpeg() {
    const std::string bytes = OpenResource("about", "jpeg").readAll();
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

class PictureFormatsTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { UnregisterJpegFormat(); }

    void jpegIsFoundUnderBothExtensionsUntilUnregistered() {
        QVERIFY(!FindPictureFormat("jpg"));
        QVERIFY(about::Picture().isNull());

        RegisterJpegFormat();
        for (const char* ext : {"jpg", "jpeg", "JPG", "Jpeg", ".jpg"}) {
            const auto format = FindPictureFormat(QString::fromLatin1(ext));
            QVERIFY2(format.has_value(), ext);
            QCOMPARE(format->description, QStringLiteral("JPEG Image File"));
            QVERIFY(format->decode);
            QCOMPARE(format->decode(EmbeddedJpeg()).size(), QSize(418, 310));
        }
        QVERIFY(!FindPictureFormat("png"));
        QVERIFY(!FindPictureFormat("jp"));
        QVERIFY(!FindPictureFormat(""));

        UnregisterJpegFormat();
        QVERIFY(!FindPictureFormat("jpg"));
        QVERIFY(!FindPictureFormat("jpeg"));
        QVERIFY(about::Picture().isNull());
    }

    void registrationsOfOneExtensionReplaceEachOther() {
        RegisterJpegFormat();
        RegisterPictureFormat({"JPG", "Other", [](QByteArrayView) { return QImage(3, 2, QImage::Format_RGB32); }});
        const auto replaced = FindPictureFormat("jpg");
        QVERIFY(replaced);
        QCOMPARE(replaced->description, QStringLiteral("Other"));
        QCOMPARE(replaced->decode(EmbeddedJpeg()).size(), QSize(3, 2));
        // The other extension keeps the JPEG decoder.
        QCOMPARE(FindPictureFormat("jpeg")->description, QStringLiteral("JPEG Image File"));

        UnregisterPictureFormat(".JPG");
        QVERIFY(!FindPictureFormat("jpg"));
        QVERIFY(FindPictureFormat("jpeg"));
    }

    void pictureIsTheEmbeddedJpegInTrueColour() {
        RegisterJpegFormat();
        const QImage picture = about::Picture();
        QCOMPARE(picture.size(), QSize(418, 310));
        QCOMPARE(picture, DecodeJpegImage(EmbeddedJpeg(), false));
        // The "G" key cap is warm, the "H" key cap blue: channels in order.
        const QColor g = picture.pixelColor(186, 165), h = picture.pixelColor(226, 165);
        QVERIFY(g.red() > g.blue() + 40);
        QVERIFY(h.blue() > h.red() + 40);
    }

    void paletteDecodingForScreensOf256Colours() {
        const QImage full = DecodeJpegImage(EmbeddedJpeg(), false);
        const QImage indexed = DecodeJpegImage(EmbeddedJpeg(), true);
        QCOMPARE(indexed.format(), QImage::Format_Indexed8);
        QCOMPARE(indexed.size(), QSize(418, 310));
        QVERIFY(indexed.colorCount() > 16 && indexed.colorCount() <= 256);
        // Same picture, up to dithering.
        long long error = 0;
        for (int y = 0; y < full.height(); y += 7)
            for (int x = 0; x < full.width(); x += 5) {
                const QRgb a = full.pixel(x, y), b = indexed.pixel(x, y);
                error += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
            }
        QVERIFY(error / ((full.height() / 7 + 1) * (full.width() / 5 + 1) * 3) < 12);
    }

    void damagedDataGivesNoPicture() {
        RegisterJpegFormat();
        const auto format = FindPictureFormat("jpg");
        QVERIFY(format);
        const QByteArray jpeg = EmbeddedJpeg();
        QVERIFY(format->decode(jpeg.left(jpeg.size() / 2)).isNull());
        QVERIFY(format->decode(jpeg.left(jpeg.size() - 2)).isNull());
        QVERIFY(format->decode(QByteArray()).isNull());
        QByteArray bad = jpeg;
        bad[0] = '\x89';
        QVERIFY(format->decode(bad).isNull());
    }

    void windowIconIs16PixelsIn256Colours() {
        const QIcon icon = about::WindowIcon();
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(16, 16)});

        const std::string png = OpenResource("icon", "png").readAll();
        const QImage stored = QImage::fromData(QByteArrayView(png.data(), static_cast<qsizetype>(png.size())), "PNG");
        QCOMPARE(stored.size(), QSize(16, 16));
        QCOMPARE(stored.format(), QImage::Format_Indexed8);
        QVERIFY(stored.colorCount() <= 256);
    }
};

QTEST_MAIN(PictureFormatsTest)
#include "test_picture_formats.moc"
