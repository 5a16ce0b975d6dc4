#pragma once
// What the About page shows: credits, the two community links, the picture and
// the window icon. Everything is carried inside the program.
#include <QIcon>
#include <QImage>
#include <QString>
#include <QStringList>
#include <array>

namespace zelmora::about {

struct Link {
    QString caption;  // the linked page's name
    QString url;      // the label's hint: the address a click opens
};

// Seven lines of credits for RichEdit8.
QStringList CreditLines();

// The two link labels, Label6 then Label8.
std::array<Link, 2> Links();

// The 418 x 310 picture, decoded through the picture-format registry from the
// embedded JPEG (a null image if the decoder is not registered or fails).
QImage Picture();

// The 16 x 16 window icon.
QIcon WindowIcon();

}  // namespace zelmora::about
