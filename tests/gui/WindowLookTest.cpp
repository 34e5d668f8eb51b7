// The window as the person at the machine meets it: caption, size, frame
// buttons, the warning and the button exactly where they were drawn, in
// the drawn fonts and colours, and a picture of it all.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <tuple>

#include "window/WordWrapButton.h"
#include "window/frmMain.h"

namespace calmora {
namespace {

// The drawn places in twips / 15.
const QRect kLabel2(161, 14, 101, 25);   // 2415, 210, 1515 x 375
const QRect kLabel3(249, 14, 201, 53);   // 3735, 210, 3015 x 795
const QRect kButton(169, 262, 147, 61);  // 2535, 3930, 2205 x 915

void ExpectFormFont(const QFont& font, bool underline) {
  EXPECT_EQ(font.family(), QStringLiteral("Microsoft Sans Serif"));
  EXPECT_EQ(font.pointSize(), 12);
  EXPECT_TRUE(font.bold());
  EXPECT_EQ(font.underline(), underline);
  if (!QFontDatabase::families().contains(QStringLiteral("Microsoft Sans Serif")))
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("DejaVu Sans"));
  else
    EXPECT_EQ(font.stretch(), QFont::AnyStretch) << "the drawn face must not be narrowed";
}

TEST(WindowLook, CaptionFrameControlsFontsTabOrderAndPictureAreAsDrawn) {
  frmMain window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* label2 = window.findChild<QLabel*>(QStringLiteral("Label2"));
  auto* label3 = window.findChild<QLabel*>(QStringLiteral("Label3"));
  auto* button = window.findChild<WordWrapButton*>(QStringLiteral("cmdConvert"));
  ASSERT_TRUE(label2 && label3 && button);

  EXPECT_EQ(window.windowTitle(), QStringLiteral("Calmora 2014 database import"));
  for (const QSize size : {window.size(), window.minimumSize(), window.maximumSize()})
    EXPECT_EQ(size, QSize(485, 340));  // 7275 x 5100 twips
  // Without the customize hint the platform adds its own buttons.
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_EQ(flags & (Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                     Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
            Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  EXPECT_TRUE(window.windowIcon().availableSizes().contains(QSize(16, 16)))
      << "the icon resource is missing from the program";

  for (const auto& [label, text, place, underline] :
       {std::tuple{label2, "Important:", kLabel2, true},
        std::tuple{label3, "This utility should be run ONE TIME ONLY.", kLabel3, false}}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(label->text(), QString::fromUtf8(text));
    EXPECT_EQ(label->geometry(), place);
    ExpectFormFont(label->font(), underline);
    EXPECT_TRUE(label->wordWrap());
    EXPECT_FALSE(label->autoFillBackground()) << "the picture must show behind the text";
    // All of the text fits its box in the font this machine has.
    const QRect needed = QFontMetrics(label->font())
                             .boundingRect(QRect(0, 0, place.width(), 1000), Qt::TextWordWrap,
                                           label->text());
    EXPECT_TRUE(QRect(QPoint(), place.size()).contains(QRect(QPoint(), needed.size())));
  }
  // The boxes as drawn overlap; the texts must not.
  EXPECT_LT(kLabel2.x() + QFontMetrics(label2->font()).horizontalAdvance(label2->text()) + 3,
            kLabel3.x());

  EXPECT_EQ(button->caption(), QStringLiteral("Import Calmora V3.1 into Calmora 2014"));
  EXPECT_EQ(button->accessibleName(), button->caption());
  EXPECT_EQ(button->geometry(), kButton);
  QLabel* caption = button->captionLabel();
  ExpectFormFont(caption->font(), false);
  EXPECT_TRUE(caption->wordWrap());
  EXPECT_TRUE(button->rect().contains(caption->geometry()));
  EXPECT_LE(caption->heightForWidth(caption->width()), caption->height()) << "caption cut off";

  // Tab order button, Label2, Label3; the labels take no focus.
  QStringList order;
  for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain())
    if (w == button || w == label2 || w == label3) order << w->objectName();
  EXPECT_EQ(order, QStringList({"cmdConvert", "Label2", "Label3"}));
  QTest::keyClick(&window, Qt::Key_Tab);
  EXPECT_EQ(window.focusWidget(), button);

  // Idle: no progress shown. A click on the caption text reaches the button
  // (the window's own handler taken off, so only the click is counted).
  EXPECT_FALSE(window.findChild<QLabel*>(QStringLiteral("stepCaption"))->isVisible());
  EXPECT_FALSE(window.findChild<QProgressBar*>(QStringLiteral("stepBar"))->isVisible());
  QObject::disconnect(button, &QAbstractButton::clicked, &window, nullptr);
  int clicks = 0;
  QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
  QTest::mouseClick(button, Qt::LeftButton, {}, caption->geometry().center());
  EXPECT_EQ(clicks, 1);

  // The window as a picture, compared with what a person should see.
  // Written to $CALMORA_SCREENSHOT when that is set.
  const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shot.size(), QSize(485, 340));
  const QString path = qEnvironmentVariable("CALMORA_SCREENSHOT");
  if (!path.isEmpty()) {
    ASSERT_TRUE(shot.save(path, "PNG")) << path.toStdString();
  }

  const QImage background(QStringLiteral(":/calmora/frmMain-background.png"));
  ASSERT_EQ(background.size(), QSize(488, 340));
  // The picture, where no control covers it.
  for (const QPoint p : {QPoint(40, 150), QPoint(160, 120), QPoint(330, 120), QPoint(470, 320)})
    EXPECT_EQ(shot.pixel(p), background.pixel(p)) << p.x() << "," << p.y();

  // Pixels of an area that pass a test.
  const auto count = [&](const QRect& area, const auto& pass) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x) n += pass(x, y) ? 1 : 0;
    return n;
  };
  const auto red = [&](int x, int y) {
    const QColor c = shot.pixelColor(x, y);
    return c.red() > 200 && c.green() < 80 && c.blue() < 80;
  };
  EXPECT_GT(count(kLabel2, red), 100) << "\"Important:\" is not shown in red";
  EXPECT_GT(count(kLabel3, red), 300) << "the warning is not shown in red";
  EXPECT_EQ(count(QRect(0, 70, 485, 270), red), 0) << "red outside the warning";
  // The underline: a red run across most of a row in Label2's bottom part.
  int underlineRows = 0;
  for (int y = 28; y < 39; ++y) underlineRows += count(QRect(161, y, 101, 1), red) > 60 ? 1 : 0;
  EXPECT_GE(underlineRows, 1) << "\"Important:\" is not underlined";

  // The button covers the picture and shows dark caption text.
  const int covered =
      count(kButton, [&](int x, int y) { return shot.pixel(x, y) != background.pixel(x, y); });
  EXPECT_GT(covered, kButton.width() * kButton.height() / 2);
  EXPECT_GT(count(kButton, [&](int x, int y) { return qGray(shot.pixel(x, y)) < 60; }), 150)
      << "no caption on the button";
}

}  // namespace
}  // namespace calmora
