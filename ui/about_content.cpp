#include "ui/about_content.h"

#include <QPixmap>

#include <string_view>

#include "core/failure.h"
#include "resources/resources.h"
#include "ui/picture_formats.h"

namespace zelmora::about {

namespace {

// The picture is stored under its format's extension, so the registry can
// find its decoder from the resource alone.
constexpr std::string_view kPictureName = "about";
constexpr std::string_view kPictureFormat = "jpeg";

QByteArrayView Bytes(std::string_view bytes) {
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

QStringList CreditLines() {
    return {
        QStringLiteral("Zelmora：五笔86码表维护工具，由 Zelmora 开发组制作。"),
        QStringLiteral("交流：Zelmora 项目的问题跟踪（Issues）"),
        QStringLiteral("制作日期：2026年12月"),
        QString(),
        QStringLiteral("欢迎各位五笔用户到问题跟踪交流："),
        QStringLiteral("报告码表处理中遇到的问题，提出改进建议，"),
        QStringLiteral("也欢迎分享自己整理码表的经验。"),
    };
}

std::array<Link, 2> Links() {
    return {{
        {QStringLiteral("Rime五笔方案"), QStringLiteral("https://github.com/rime/rime-wubi")},
        {QStringLiteral("五笔极点码表"), QStringLiteral("https://github.com/KyleBing/rime-wubi86-jidian")},
    }};
}

QImage Picture() {
    const std::optional<PictureFormat> format =
        FindPictureFormat(QString::fromLatin1(kPictureFormat.data(), kPictureFormat.size()));
    if (!format || !format->decode) return {};
    try {
        return format->decode(Bytes(OpenResource(kPictureName, kPictureFormat).bytes()));
    } catch (const Failure&) {
        return {};
    }
}

QIcon WindowIcon() {
    QIcon icon;
    try {
        const QImage image = QImage::fromData(Bytes(OpenResource("icon", "png").bytes()), "PNG");
        if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
    } catch (const Failure&) {}
    return icon;
}

}  // namespace zelmora::about
