#pragma once
// The two buttons on a day band or folder header: they hand the band's photos to the main
// window, which turns them into a slide show or an album.
#include <QPainter>
#include <QRect>
#include <QString>
#include <cstdint>

namespace plb::shell {

enum TBandButton : int { bbSlide = 0, bbAlbum = 1 };
enum TBandButtonLook : int { blNormal = 0, blHot = 1, blPressed = 2 };

// Where a button of a band lies: after the label, whose drawn width is labelWidth.
QRect BandButtonRect(const QRect& band, int labelWidth, int button);
void PaintBandButton(QPainter& p, const QRect& rect, int button, int look);

struct TBandLabel {
  QString text;
  int kind = 0;  // 1 a date, 2 a folder's name, 3 an album's display name, 4 another node's name
};

// The label a band hands on: folderClass 1 folders, 2 albums, 3 calendar, 0 other nodes; day is
// the band's day, or without grouping the day of the band's first photo.
TBandLabel BandLabelFor(int folderClass, bool grouping, int64_t day, const QString& folderName);

}  // namespace plb::shell
