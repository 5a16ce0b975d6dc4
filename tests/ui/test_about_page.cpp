// The About tab of the real window: credits, the link labels' colours under
// real pointer events, what a click asks the desktop to open, and the picture
// at its natural size from the top-left corner.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>

#include <memory>

#include "ui/about_content.h"
#include "ui/form.h"
#include "ui/picture_formats.h"

using namespace zelmora;

namespace {

const QColor kBlue(0, 0, 255);       // 0xFF0000 as 0x00BBGGRR
const QColor kOlive(0x80, 0x80, 0);  // 0x008080

QColor Colour(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

// Whether the label as painted shows that exact colour (its underline is drawn
// in it, unblended).
bool Shows(QLabel* label, const QColor& colour) {
    const QImage img = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == colour) return true;
    return false;
}

void Send(QWidget* target, QEvent&& event) { QApplication::sendEvent(target, &event); }

void Move(QLabel* label, QPoint at) {
    Send(label, QMouseEvent(QEvent::MouseMove, at, label->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier));
}
void Enter(QLabel* label, QPoint at) { Send(label, QEnterEvent(at, at, label->mapToGlobal(at))); }
void Leave(QLabel* label) { Send(label, QEvent(QEvent::Leave)); }

// What Image1 paints where the picture can be: its top-left part, as large
// as both allow.
QImage Shown(QLabel* image, QSize pictureSize) {
    const QRect part(QPoint(0, 0), image->size().boundedTo(pictureSize));
    return image->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(part);
}
QImage Expected(const QImage& picture, QLabel* image) {
    return picture.copy(QRect(QPoint(0, 0), image->size().boundedTo(picture.size())));
}

}  // namespace

class AboutPageTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm1> form_;
    QList<QUrl> opened_;
    int failures_ = 0;

private slots:
    void initTestCase() { RegisterJpegFormat(); }
    void cleanupTestCase() { UnregisterJpegFormat(); }

    void init() {
        opened_.clear();
        failures_ = 0;
        form_ = std::make_unique<TForm1>();
        form_->setDesktopOpener([this](const QUrl& url) { opened_.push_back(url); });
        form_->setMessageBoxRunner([this](QMessageBox&) { ++failures_; });
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        form_->PageControl1->setCurrentWidget(form_->TabSheet4);
    }
    void cleanup() {
        form_.reset();
        QCOMPARE(failures_, 0);
    }

    void pageHoldsCreditsLinksAndPicture() {
        TForm1& f = *form_;
        QCOMPARE(f.PageControl1->count(), 7);
        QCOMPARE(f.PageControl1->indexOf(f.TabSheet4), 6);
        QCOMPARE(f.PageControl1->tabText(6), QStringLiteral("关于"));
        QCOMPARE(f.windowIcon().availableSizes(), QList<QSize>{QSize(16, 16)});

        const int width = f.TabSheet4->width();
        QCOMPARE(f.RichEdit8->geometry(), QRect(0, 0, width, 129));
        QCOMPARE(f.GroupBox1->geometry(), QRect(0, 129, width, 48));
        QCOMPARE(f.GroupBox1->title(), QStringLiteral("链接"));
        QCOMPARE(f.Image1->geometry(), QRect(0, 177, width, f.TabSheet4->height() - 177));
        QCOMPARE(f.Label6->parentWidget(), f.GroupBox1);
        QCOMPARE(f.Label8->parentWidget(), f.GroupBox1);
        QCOMPARE(f.Label6->pos(), QPoint(8, 23));
        QCOMPARE(f.Label8->pos(), QPoint(112, 23));

        // Seven lines of credits, the fourth empty, read-only.
        const QStringList lines = f.RichEdit8->toPlainText().split(u'\n');
        QCOMPARE(lines, about::CreditLines());
        QCOMPARE(lines.size(), 7);
        QVERIFY(lines[3].isEmpty());
        f.RichEdit8->setFocus();
        QTest::keyClicks(f.RichEdit8, "abc");
        QTest::keyClick(f.RichEdit8, Qt::Key_Backspace);
        QCOMPARE(f.RichEdit8->toPlainText().split(u'\n'), about::CreditLines());

        // Links: caption, address as hint and tooltip, underlined blue, hand cursor.
        const auto links = about::Links();
        QLabel* labels[] = {f.Label6, f.Label8};
        for (int i = 0; i < 2; ++i) {
            QLabel* label = labels[i];
            QCOMPARE(label->text(), links[i].caption);
            QCOMPARE(label->toolTip(), links[i].url);
            QVERIFY(QUrl(links[i].url).scheme() == "https");
            QVERIFY(label->font().underline());
            QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
            QCOMPARE(Colour(label), kBlue);
            QVERIFY(Shows(label, kBlue));
        }
    }

    void linkColoursFollowThePointer() {
        QLabel* l6 = form_->Label6;
        QLabel* l8 = form_->Label8;
        const QPoint mid = l6->rect().center();

        // Entering alone changes nothing; the first movement turns it olive.
        Enter(l6, mid);
        QCOMPARE(Colour(l6), kBlue);
        Move(l6, mid);
        QCOMPARE(Colour(l6), kOlive);
        QVERIFY(Shows(l6, kOlive));
        QVERIFY(!Shows(l6, kBlue));
        QCOMPARE(Colour(l8), kBlue);  // the other link is left alone
        Move(l6, mid + QPoint(3, 0));
        QCOMPARE(Colour(l6), kOlive);

        Leave(l6);
        QCOMPARE(Colour(l6), kBlue);
        QVERIFY(Shows(l6, kBlue));

        // Each label answers for itself, through the same handlers.
        Enter(l8, QPoint(2, 2));
        Move(l8, QPoint(2, 2));
        QCOMPARE(Colour(l8), kOlive);
        QCOMPARE(Colour(l6), kBlue);
        Leave(l8);
        QCOMPARE(Colour(l8), kBlue);
    }

    void linkColoursFollowThePointerThroughTheWindowSystem() {
        QLabel* l6 = form_->Label6;
        QLabel* l8 = form_->Label8;
        QTest::mouseMove(l6, l6->rect().center());
        QTRY_COMPARE(Colour(l6), kOlive);
        QCOMPARE(Colour(l8), kBlue);
        QTest::mouseMove(l8, l8->rect().center());
        QTRY_COMPARE(Colour(l8), kOlive);
        QTRY_COMPARE(Colour(l6), kBlue);
        QTest::mouseMove(form_->Image1, QPoint(10, 10));
        QTRY_COMPARE(Colour(l8), kBlue);
    }

    void clickOpensExactlyTheLabelsAddress() {
        QLabel* l6 = form_->Label6;
        QLabel* l8 = form_->Label8;
        const auto links = about::Links();

        Move(l6, QPoint(4, 4));
        QTest::mouseClick(l6, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
        QCOMPARE(opened_, QList<QUrl>{QUrl(links[0].url)});
        QCOMPARE(Colour(l6), kOlive);  // a click doesn't change the colour

        QTest::mouseClick(l8, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
        QCOMPARE(opened_, (QList<QUrl>{QUrl(links[0].url), QUrl(links[1].url)}));
        QCOMPARE(opened_[1].toString(), links[1].url);

        // Not a click: another button, or a release away from the label.
        QTest::mouseClick(l8, Qt::RightButton, Qt::NoModifier, QPoint(4, 4));
        QTest::mousePress(l6, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
        QTest::mouseRelease(l6, Qt::LeftButton, Qt::NoModifier, QPoint(4, l6->height() + 30));
        QCOMPARE(opened_.size(), 2);
    }

    void addressShowsAsTooltip() {
        QLabel* l8 = form_->Label8;
        const QPoint at = l8->rect().center();
        QHelpEvent help(QEvent::ToolTip, at, l8->mapToGlobal(at));
        QApplication::sendEvent(l8, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), about::Links()[1].url);
        QToolTip::hideText();
    }

    void pictureIsShownUnscaledFromTheTopLeftCorner() {
        TForm1& f = *form_;
        const QImage picture = about::Picture().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(picture.size(), QSize(418, 310));
        QCOMPARE(f.Image1->pixmap().size(), QSize(418, 310));
        QVERIFY(!f.Image1->hasScaledContents());

        // At the start size only the upper part fits.
        const QSize start = f.Image1->size();
        QVERIFY(start.height() < 310);
        QCOMPARE(Shown(f.Image1, picture.size()), Expected(picture, f.Image1));

        // Taller: more rows of the same picture, nothing stretched.
        f.resize(f.width(), f.height() + 100);
        QTRY_COMPARE(f.Image1->height(), start.height() + 100);
        QCOMPARE(Shown(f.Image1, picture.size()), Expected(picture, f.Image1));

        // Narrower: cut off on the right.
        f.resize(f.width() - 150, f.height());
        QTRY_COMPARE(f.Image1->width(), start.width() - 150);
        QCOMPARE(Shown(f.Image1, picture.size()), Expected(picture, f.Image1));
    }

    void noPictureWithoutTheJpegFormat() {
        UnregisterJpegFormat();
        TForm1 bare;
        RegisterJpegFormat();
        QVERIFY(bare.Image1->pixmap().isNull());
        QCOMPARE(form_->Image1->pixmap().size(), QSize(418, 310));
    }
};

QTEST_MAIN(AboutPageTest)
#include "test_about_page.moc"
