#pragma once
// The program's pictures. The two toolbar pictures are drawn rather than
// shipped as files: a magnifying glass with a turning arrow for Reset/Search,
// radio waves for the on-air subscription. Qt greys them out itself while the
// buttons are disabled. The program icon is the one the desktop shows too.

#include <QIcon>
#include <QPixmap>

namespace morvik::app {

QIcon ResetSearchIcon();
QIcon OnAirSubscriptionIcon();
QPixmap ProgramIconPicture();

}  // namespace morvik::app
