// Draws the About page's picture (a Wubi-86 keyboard with the key-name
// character of every letter key) and the window icon, and writes them as the
// files the program embeds. Built and run by scripts/make-about-assets.
//
// The picture is encoded with libjpeg directly so that its form is fixed:
// baseline, three components without chroma subsampling, JFIF 1.01, 72 dpi.
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kWidth = 418;
constexpr int kHeight = 310;
const char* const kFontFamily = "WenQuanYi Zen Hei";

// The five stroke zones of Wubi 86: 1 horizontal, 2 vertical, 3 left-falling,
// 4 dot, 5 turning.
struct Zone {
    const char* stroke;  // the stroke's name
    const char* sample;  // the stroke itself
    QColor colour;
};
const Zone kZones[5] = {
    {"横", "一", QColor(0xd9, 0x6c, 0x4f)}, {"竖", "丨", QColor(0x3f, 0x7f, 0xbf)},
    {"撇", "丿", QColor(0x4f, 0x9a, 0x6e)}, {"点", "丶", QColor(0xc9, 0x9a, 0x2e)},
    {"折", "乙", QColor(0x8a, 0x5f, 0xa8)},
};

struct Key {
    char letter;
    const char* name;  // key-name character; empty for Z
    int zone;          // 1..5, 0 for Z
    int position;      // position within the zone, 1..5
};
// Row by row as on the keyboard.
const std::vector<std::vector<Key>> kRows = {
    {{'Q', "金", 3, 5},
     {'W', "人", 3, 4},
     {'E', "月", 3, 3},
     {'R', "白", 3, 2},
     {'T', "禾", 3, 1},
     {'Y', "言", 4, 1},
     {'U', "立", 4, 2},
     {'I', "水", 4, 3},
     {'O', "火", 4, 4},
     {'P', "之", 4, 5}},
    {{'A', "工", 1, 5},
     {'S', "木", 1, 4},
     {'D', "大", 1, 3},
     {'F', "土", 1, 2},
     {'G', "王", 1, 1},
     {'H', "目", 2, 1},
     {'J', "日", 2, 2},
     {'K', "口", 2, 3},
     {'L', "田", 2, 4}},
    {{'Z', "", 0, 0},
     {'X', "纟", 5, 5},
     {'C', "又", 5, 4},
     {'V', "女", 5, 3},
     {'B', "子", 5, 2},
     {'N', "已", 5, 1},
     {'M', "山", 2, 5}},
};

QFont Font(int pixels, bool bold = false) {
    QFont f(kFontFamily);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(a.redF() * (1 - t) + b.redF() * t, a.greenF() * (1 - t) + b.greenF() * t,
                            a.blueF() * (1 - t) + b.blueF() * t);
}

void DrawKey(QPainter& p, const QRectF& r, const Key& key) {
    const QColor base = key.zone ? kZones[key.zone - 1].colour : QColor(0x9a, 0x9c, 0xa0);
    // Shadow, then the key cap with a light top face.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRoundedRect(r.translated(0, 2), 5, 5);
    QLinearGradient face(r.topLeft(), r.bottomLeft());
    face.setColorAt(0, Mix(base, Qt::white, 0.78));
    face.setColorAt(1, Mix(base, Qt::white, 0.52));
    p.setBrush(face);
    p.setPen(QPen(Mix(base, Qt::black, 0.25), 1));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);

    const QColor ink(0x2a, 0x2a, 0x30);
    p.setPen(Mix(base, Qt::black, 0.45));
    p.setFont(Font(11, true));
    p.drawText(r.adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, QString(QChar(key.letter)));
    if (key.zone) {
        p.setFont(Font(9));
        p.drawText(r.adjusted(0, 3, -4, 0), Qt::AlignRight | Qt::AlignTop,
                   QString::number(key.zone * 10 + key.position));
        p.setPen(ink);
        p.setFont(Font(22));
        p.drawText(r.adjusted(0, 16, 0, -2), Qt::AlignHCenter | Qt::AlignVCenter, QString::fromUtf8(key.name));
    } else {
        p.setPen(Mix(base, Qt::black, 0.5));
        p.setFont(Font(11));
        p.drawText(r.adjusted(0, 16, 0, -2), Qt::AlignCenter, QString::fromUtf8("学习"));
    }
}

QImage DrawPicture() {
    QImage img(kWidth, kHeight, QImage::Format_RGB888);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient paper(0, 0, 0, kHeight);
    paper.setColorAt(0, QColor(0xfb, 0xf8, 0xf0));
    paper.setColorAt(1, QColor(0xee, 0xe8, 0xda));
    p.fillRect(img.rect(), paper);

    p.setPen(QColor(0x33, 0x3a, 0x48));
    p.setFont(Font(17, true));
    p.drawText(QRectF(0, 6, kWidth, 26), Qt::AlignCenter, QString::fromUtf8("五笔字型 86 版 · 键名字"));

    // The keyboard plate.
    const QRectF plate(5, 38, kWidth - 10, 204);
    QLinearGradient metal(plate.topLeft(), plate.bottomLeft());
    metal.setColorAt(0, QColor(0x4a, 0x50, 0x5a));
    metal.setColorAt(1, QColor(0x33, 0x37, 0x3f));
    p.setPen(QPen(QColor(0x25, 0x28, 0x2e), 1));
    p.setBrush(metal);
    p.drawRoundedRect(plate, 9, 9);

    constexpr double kKeyW = 36, kKeyH = 58, kPitch = 40;
    const double rowLeft[3] = {12, 22, 42};
    for (int row = 0; row < 3; ++row) {
        const double top = 48 + row * (kKeyH + 6);
        for (std::size_t i = 0; i < kRows[row].size(); ++i)
            DrawKey(p, QRectF(rowLeft[row] + i * kPitch, top, kKeyW, kKeyH), kRows[row][i]);
    }
    // The space bar, to the right of the short bottom row.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRoundedRect(QRectF(322, 178 + 2, 86, 58), 5, 5);
    p.setBrush(QColor(0xd8, 0xd8, 0xd4));
    p.drawRoundedRect(QRectF(322, 178, 86, 58), 5, 5);
    p.setPen(QColor(0x55, 0x58, 0x60));
    p.setFont(Font(11));
    p.drawText(QRectF(322, 178, 86, 58), Qt::AlignCenter, QString::fromUtf8("空格\n上屏"));

    // Legend: the five zones, and how the key codes read.
    const double legendTop = 252;
    for (int z = 0; z < 5; ++z) {
        const QRectF chip(10 + z * 80, legendTop, 74, 24);
        p.setPen(QPen(Mix(kZones[z].colour, Qt::black, 0.25), 1));
        p.setBrush(Mix(kZones[z].colour, Qt::white, 0.6));
        p.drawRoundedRect(chip, 4, 4);
        p.setPen(QColor(0x2a, 0x2a, 0x30));
        p.setFont(Font(13));
        p.drawText(chip, Qt::AlignCenter,
                   QString::fromUtf8("%1区 %2 %3")
                       .arg(z + 1)
                       .arg(QString::fromUtf8(kZones[z].stroke), QString::fromUtf8(kZones[z].sample)));
    }
    p.setPen(QColor(0x55, 0x58, 0x60));
    p.setFont(Font(12));
    p.drawText(QRectF(0, legendTop + 30, kWidth, 22), Qt::AlignCenter,
               QString::fromUtf8("键上数字为区位号：十位是区，个位是位"));
    p.end();
    return img;
}

// 16 x 16 and larger: a key cap in the horizontal zone's colour bearing "五".
QImage DrawIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const double s = size / 16.0;
    const QRectF cap(0.5 * s, 0.5 * s, 15 * s, 15 * s);
    QLinearGradient face(cap.topLeft(), cap.bottomLeft());
    face.setColorAt(0, QColor(0x4f, 0x8f, 0xcf));
    face.setColorAt(1, QColor(0x2a, 0x5f, 0x9a));
    p.setPen(QPen(QColor(0x1c, 0x3f, 0x68), s));
    p.setBrush(face);
    p.drawRoundedRect(cap, 3 * s, 3 * s);
    p.setPen(Qt::white);
    QFont glyph;
    if (size <= 16) {
        // At this size only the font's hand-tuned bitmap strokes stay legible.
        glyph = QFont("WenQuanYi Zen Hei Sharp");
        glyph.setPixelSize(12);
        glyph.setStyleStrategy(QFont::NoAntialias);
    } else {
        glyph = Font(static_cast<int>(11 * s), true);
    }
    p.setFont(glyph);
    p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, QString::fromUtf8("五"));
    p.end();
    return img;
}

bool WriteJpeg(const QImage& image, const char* path, int quality) {
    FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);  // a generator may simply exit on error
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = image.width();
    cinfo.image_height = image.height();
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    for (int c = 0; c < cinfo.num_components; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    cinfo.write_JFIF_header = TRUE;
    cinfo.JFIF_major_version = 1;
    cinfo.JFIF_minor_version = 1;
    cinfo.density_unit = 1;  // dots per inch
    cinfo.X_density = 72;
    cinfo.Y_density = 72;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uchar*>(image.constScanLine(cinfo.next_scanline));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);

    const QImage picture = DrawPicture();
    if (!WriteJpeg(picture, (dir + "/about.jpg").toLocal8Bit().constData(), 92)) return 1;

    // The window icon: 256 colours, palette PNG.
    QImage icon16 = DrawIcon(16).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    if (icon16.colorCount() > 256 || !icon16.save(dir + "/zelmora-16.png", "PNG")) return 1;
    // A larger one for desktop menus.
    if (!DrawIcon(48).save(dir + "/zelmora-48.png", "PNG")) return 1;
    return 0;
}
