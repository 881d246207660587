#pragma once
// The two toolbar pictures, drawn rather than shipped as files: a magnifying
// glass with a turning arrow for Reset/Search, radio waves for the on-air
// subscription. Qt greys them out itself while the buttons are disabled.

#include <QIcon>

namespace morvik::app {

QIcon ResetSearchIcon();
QIcon OnAirSubscriptionIcon();

}  // namespace morvik::app
