// The caption box of a grid cell: names longer than the box go on over the next lines, and the
// last line that fits ends in an ellipsis when text is left over.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>

#include "shell/grid/catalog_cell_painter.h"
#include "shell/qt_test_app.h"

namespace plb::shell {
namespace {

QStringList Texts(const std::vector<TCaptionLine>& lines) {
  QStringList out;
  for (const TCaptionLine& line : lines) out << line.text;
  return out;
}

TEST(CatalogCaption, LongNamesWrapAndWhatDoesNotFitEndsInAnEllipsis) {
  test::QtApp();
  const QFont font;
  const QFontMetrics fm(font);
  const int width = fm.horizontalAdvance(QStringLiteral("IMG_20210504_1")) + 2;  // about 14 characters a line
  const int oneLine = fm.height();
  const QString name = QStringLiteral("IMG_20210504_123456_HDR.jpg");  // no spaces
  const QString date = QStringLiteral("2021/05/04");
  const QChar ellipsis(0x2026);
  // However the name breaks, it needs more than one line of this box.
  const int nameLines = static_cast<int>(LayOutCaption({name}, font, width, 20 * oneLine).size());
  ASSERT_GE(nameLines, 2);
  struct Case {
    const char* what;
    QStringList captions;
    int lines;          // the box's height in lines
    int shown;          // lines drawn
    bool lastElided;    // the last drawn line ends in an ellipsis
  };
  const Case cases[] = {
      {"a short name on one line", {QStringLiteral("a.jpg")}, 1, 1, false},
      {"a long name in a one-line box", {name}, 1, 1, true},
      {"a long name goes on over the next lines", {name}, nameLines, nameLines, false},
      {"a long name cut after its second line", {name}, 2, 2, nameLines > 2},
      {"the name's lines push the date out", {name, date}, nameLines, nameLines, true},
      {"room for both", {name, date}, nameLines + 2, nameLines + 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<TCaptionLine> lines = LayOutCaption(c.captions, font, width, c.lines * oneLine);
    ASSERT_EQ(static_cast<int>(lines.size()), c.shown) << Texts(lines).join('|').toStdString();
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].top, static_cast<int>(i) * oneLine);
      EXPECT_LE(fm.horizontalAdvance(lines[i].text), width) << lines[i].text.toStdString();
      EXPECT_FALSE(lines[i].text.isEmpty());
    }
    EXPECT_EQ(lines.back().text.endsWith(ellipsis), c.lastElided) << lines.back().text.toStdString();
  }
  // Wrapped, nothing of the name is lost.
  const std::vector<TCaptionLine> both = LayOutCaption({name, date}, font, width, (nameLines + 1) * oneLine);
  ASSERT_EQ(static_cast<int>(both.size()), nameLines + 1);
  QString joined;
  for (int i = 0; i < nameLines; ++i) joined += both[static_cast<size_t>(i)].text;
  EXPECT_EQ(joined, name);
  EXPECT_EQ(both.back().text, date);
}

}  // namespace
}  // namespace plb::shell
