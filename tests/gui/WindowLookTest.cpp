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

#include "app/gui/WordWrapButton.h"
#include "app/gui/frmMain.h"

namespace calmora {
namespace {

class WindowLook : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    label2 = window.findChild<QLabel*>(QStringLiteral("Label2"));
    label3 = window.findChild<QLabel*>(QStringLiteral("Label3"));
    button = window.findChild<WordWrapButton*>(QStringLiteral("cmdConvert"));
    ASSERT_NE(label2, nullptr);
    ASSERT_NE(label3, nullptr);
    ASSERT_NE(button, nullptr);
  }

  frmMain window;
  QLabel* label2 = nullptr;
  QLabel* label3 = nullptr;
  WordWrapButton* button = nullptr;
};

// The family a font really resolves to on this machine.
QString ResolvedFamily(const QFont& font) { return QFontInfo(font).family(); }

void ExpectFormFont(const QFont& font, bool underline, const char* what) {
  SCOPED_TRACE(what);
  EXPECT_EQ(font.family(), QStringLiteral("Microsoft Sans Serif"));
  EXPECT_EQ(font.pointSize(), 12);
  EXPECT_TRUE(font.bold());
  EXPECT_EQ(font.underline(), underline);
  if (!QFontDatabase::families().contains(QStringLiteral("Microsoft Sans Serif"))) {
    EXPECT_EQ(ResolvedFamily(font), QStringLiteral("DejaVu Sans"));
  } else {
    EXPECT_EQ(font.stretch(), QFont::AnyStretch) << "the drawn face must not be narrowed";
  }
}

TEST_F(WindowLook, CaptionFixedClientAreaAndFrameButtons) {
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Calmora 2014 database import"));
  // 7275 x 5100 twips.
  EXPECT_EQ(window.size(), QSize(485, 340));
  EXPECT_EQ(window.minimumSize(), QSize(485, 340));
  EXPECT_EQ(window.maximumSize(), QSize(485, 340));

  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::Window));
  EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint)) << "else the platform adds its own buttons";
  EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));

  const QIcon icon = window.windowIcon();
  ASSERT_FALSE(icon.isNull()) << "the icon resource is missing from the program";
  EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
}

TEST_F(WindowLook, WarningLabelsAreRedBoldAndWhereDrawn) {
  EXPECT_EQ(label2->text(), QStringLiteral("Important:"));
  EXPECT_EQ(label2->geometry(), QRect(161, 14, 101, 25));  // 2415, 210, 1515 x 375
  ExpectFormFont(label2->font(), true, "Label2");

  EXPECT_EQ(label3->text(), QStringLiteral("This utility should be run ONE TIME ONLY."));
  EXPECT_EQ(label3->geometry(), QRect(249, 14, 201, 53));  // 3735, 210, 3015 x 795
  ExpectFormFont(label3->font(), false, "Label3");
  EXPECT_TRUE(label3->wordWrap());

  for (QLabel* label : {label2, label3}) {
    SCOPED_TRACE(label->objectName().toStdString());
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_FALSE(label->autoFillBackground()) << "the picture must show behind the text";
    EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    // All of the warning fits in its box, in the font this machine has.
    const QFontMetrics metrics(label->font());
    const QRect needed = metrics.boundingRect(QRect(0, 0, label->width(), 1000),
                                              Qt::TextWordWrap, label->text());
    EXPECT_LE(needed.width(), label->width());
    EXPECT_LE(needed.height(), label->height());
  }
  // "Important:" ends before the warning beside it begins (the boxes as
  // drawn overlap; the texts must not).
  const int importantEnds = label2->x() + QFontMetrics(label2->font()).horizontalAdvance(label2->text());
  EXPECT_LT(importantEnds + 3, label3->x());
}

TEST_F(WindowLook, ConvertButtonWrapsItsBoldCaptionAndClicks) {
  EXPECT_EQ(button->caption(), QStringLiteral("Import Calmora V3.1 into Calmora 2014"));
  EXPECT_EQ(button->accessibleName(), button->caption());
  EXPECT_EQ(button->geometry(), QRect(169, 262, 147, 61));  // 2535, 3930, 2205 x 915
  ExpectFormFont(button->font(), false, "cmdConvert");
  ExpectFormFont(button->captionLabel()->font(), false, "cmdConvert caption");
  EXPECT_TRUE(button->isEnabled());

  QLabel* caption = button->captionLabel();
  EXPECT_TRUE(caption->wordWrap());
  EXPECT_TRUE(button->geometry().contains(caption->geometry().translated(button->pos())));
  EXPECT_LE(caption->heightForWidth(caption->width()), caption->height())
      << "the caption is cut off";

  // A click on the caption text reaches the button. Only the click is
  // counted here: the window's own handler is taken off first.
  QObject::disconnect(button, &QAbstractButton::clicked, &window, nullptr);
  int clicks = 0;
  QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
  QTest::mouseClick(button, Qt::LeftButton, {}, caption->geometry().center());
  EXPECT_EQ(clicks, 1);
}

TEST_F(WindowLook, TabOrderIsButtonThenLabelsAndFocusStaysOnTheButton) {
  // The window's focus chain, less what lies inside the button.
  QStringList order;
  for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain()) {
    if (w == button || w == label2 || w == label3) order << w->objectName();
  }
  EXPECT_EQ(order, QStringList({"cmdConvert", "Label2", "Label3"}));
  EXPECT_EQ(button->focusPolicy(), Qt::StrongFocus);
  EXPECT_EQ(window.focusWidget(), button);
  QTest::keyClick(&window, Qt::Key_Tab);
  EXPECT_EQ(window.focusWidget(), button);
}

TEST_F(WindowLook, IdleWindowShowsNoProgress) {
  auto* caption = window.findChild<QLabel*>(QStringLiteral("stepCaption"));
  auto* bar = window.findChild<QProgressBar*>(QStringLiteral("stepBar"));
  ASSERT_NE(caption, nullptr);
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(caption->isVisible());
  EXPECT_FALSE(bar->isVisible());
  EXPECT_FALSE(window.isRunning());
}

// The window as a picture, compared with what a person should see. Writes
// the picture to $CALMORA_SCREENSHOT when that is set.
TEST(WindowPicture, ShowsBackgroundRedWarningAndButton) {
  frmMain window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shot.size(), QSize(485, 340));
  const QString path = qEnvironmentVariable("CALMORA_SCREENSHOT");
  if (!path.isEmpty()) {
    ASSERT_TRUE(shot.save(path, "PNG")) << path.toStdString();
  }

  const QImage background(QStringLiteral(":/calmora/frmMain-background.png"));
  ASSERT_EQ(background.size(), QSize(488, 340));
  // The picture, where no control covers it: left, middle and bottom right.
  for (const QPoint p : {QPoint(40, 150), QPoint(160, 120), QPoint(330, 120), QPoint(470, 320)}) {
    EXPECT_EQ(shot.pixel(p), background.pixel(p)) << p.x() << "," << p.y();
  }

  const auto redIn = [&](const QRect& area) {
    int red = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        const QColor c = shot.pixelColor(x, y);
        if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ++red;
      }
    }
    return red;
  };
  EXPECT_GT(redIn(QRect(161, 14, 101, 25)), 100) << "\"Important:\" is not shown in red";
  EXPECT_GT(redIn(QRect(249, 14, 201, 53)), 300) << "the warning is not shown in red";
  // The underline: a red run across most of Label2's bottom part.
  int underlineRows = 0;
  for (int y = 28; y < 39; ++y) {
    int run = 0;
    for (int x = 161; x < 262; ++x) {
      const QColor c = shot.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ++run;
    }
    if (run > 60) ++underlineRows;
  }
  EXPECT_GE(underlineRows, 1) << "\"Important:\" is not underlined";
  EXPECT_EQ(redIn(QRect(0, 70, 485, 270)), 0) << "red outside the warning";

  // The button covers the picture and shows dark caption text.
  const QRect buttonArea(169, 262, 147, 61);
  int differing = 0;
  int dark = 0;
  for (int y = buttonArea.top(); y <= buttonArea.bottom(); ++y) {
    for (int x = buttonArea.left(); x <= buttonArea.right(); ++x) {
      if (shot.pixel(x, y) != background.pixel(x, y)) ++differing;
      if (qGray(shot.pixel(x, y)) < 60) ++dark;
    }
  }
  EXPECT_GT(differing, buttonArea.width() * buttonArea.height() / 2);
  EXPECT_GT(dark, 150) << "no caption on the button";
}

}  // namespace
}  // namespace calmora
