#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// The program's pictures are SVG files compiled into the binary under
// ":/assets/<name>.svg". Names in use:
//   weather_sunny, weather_variable, weather_overcast, weather_rainy,
//   weather_rainsnow, weather_snow            (square; 177x177 and 63x51)
//   mount_low, mount_mid, mount_high          (200x201; transparent sky)
//   arrow_up, arrow_down                      (17x17 red arrowheads)
//   thermo_scale                              (41x161, drawn for that size)
//   trend_quick_up, trend_slow_up, trend_quick_down, trend_slow_down (17x33)
//   trend_unch                                (33x33)
//   logo                                      (241x33, wordmark "Norvatech")
//   about                                     (310x240 about-box scene)
//   app_icon                                  (square program icon)
//   sampling                                  (253x123 sampling sequence)
//   altitude_site                             (253x123 altitude above sea)
//   forecast                                  (253x123 rising and falling)
//   sky_sunny, sky_variable, sky_overcast, sky_rainy (64x48 sky tiles)
//   box_error, box_information, box_question, box_warning (48x48 icons of
//                                             the message boxes)

// Renders the named picture into a transparent pixmap of exactly `size`
// device-independent pixels. The picture keeps its aspect ratio and is
// centred; the rest stays transparent. An unknown or unreadable name gives a
// magenta cross placeholder of that size (and a warning), never a crash. An
// empty or invalid size, or an edge above 8192 pixels, gives a null pixmap.
// The pixmap is rendered at device size for the device pixel ratio `ratio`
// (by default the highest of the screens) and carries it, so it is sharp on
// a high-density screen; at ratio 1 it is exactly `size` pixels.
// Small pictures (up to 128 x 128 device pixels: icons, the boxes' icons)
// are kept in Qt's pixmap cache, so that asking again costs nothing; larger
// ones are rendered afresh each time.
QPixmap AssetPixmap(const QString& name, const QSize& size, qreal ratio = 0);

// The same picture rendered afresh and kept nowhere else: for a window's own
// pictures, which it gives back when hidden, so that nothing of them stays.
QPixmap RenderAssetPixmap(const QString& name, const QSize& size, qreal ratio = 0);

// The named picture as an icon that renders crisply at any size (window
// icons, menus). An unknown name gives an icon of the placeholder.
QIcon AssetIcon(const QString& name);

// True when ":/assets/<name>.svg" exists and is a valid SVG.
bool AssetExists(const QString& name);
