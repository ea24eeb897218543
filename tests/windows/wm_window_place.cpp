// Where the program's windows come back under a real window manager
// (openbox on an Xvfb display of the test's own, see
// tests/support/with_openbox.sh): the main window after the small window
// was clicked and after a new detection, and the small window above the
// program's other windows. Off screen there is no window manager to place
// or stack anything, so the tests are skipped there.
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include "components/Window_place.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "support_program.h"
#include "windows/Tbarograph.h"
#include "windows/Tintro.h"
#include "windows/Tsmall.h"

namespace {

// Now and then, on a loaded machine, the window manager of the test's own
// display leaves a window unframed; there is then no place to compare, and
// the test says so rather than failing by chance.
#define SETTLE(window)                                                                \
  do {                                                                                \
    if (!Framed(window)) GTEST_SKIP() << "the window manager did not frame " #window; \
  } while (0)

// The frame as the window system has it, as the program reads it.
QRect FrameOf(const QWidget* window) {
  return Twindow_place::FrameOf(window);
}

class WindowManagerTest : public ProgramTest {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != "xcb")
      GTEST_SKIP() << "needs an X display with a window manager (tests/support/with_openbox.sh)";
    ProgramTest::SetUp();
    StartMeasuringProgram();
  }

  // Shown, mapped and framed by the window manager, and still for a while;
  // false when the window manager left it unframed.
  static bool Framed(QWidget* window) {
    if (!QTest::qWaitForWindowExposed(window, 15000)) return false;
    if (!QTest::qWaitFor(
            [window] { return FrameOf(window).topLeft() != window->geometry().topLeft(); }, 15000))
      return false;
    QRect last;
    for (int i = 0; i < 50 && FrameOf(window) != last; ++i) {
      last = FrameOf(window);
      QTest::qWait(100);
    }
    return true;
  }

  // Moves the window's frame as the user's drag does: asked of the window
  // manager, not set by the program.
  static void DragTo(QWidget* window, const QPoint& corner) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    xcb_connection_t* connection = x11->connection();
    const char name[] = "_NET_MOVERESIZE_WINDOW";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    ASSERT_NE(atom, nullptr);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window->winId());
    message.type = atom->atom;
    free(atom);
    // North-west gravity (the frame's corner), x and y given, from the user.
    message.data.data32[0] = XCB_GRAVITY_NORTH_WEST | (1u << 8) | (1u << 9) | (2u << 12);
    message.data.data32[1] = static_cast<uint32_t>(corner.x());
    message.data.data32[2] = static_cast<uint32_t>(corner.y());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    ASSERT_TRUE(
        QTest::qWaitFor([window, corner] { return FrameOf(window).topLeft() == corner; }, 15000))
        << "at " << FrameOf(window).x() << "," << FrameOf(window).y();
    Framed(window);
  }

  static void PlaceAt(QWidget* window, const QPoint& corner) {
    window->move(corner);
    ASSERT_TRUE(
        QTest::qWaitFor([window, corner] { return FrameOf(window).topLeft() == corner; }, 15000))
        << "at " << FrameOf(window).x() << "," << FrameOf(window).y();
    Framed(window);
  }

  // The program's top-level windows from the bottom of the stack to the
  // top, as the window manager keeps them.
  static std::vector<WId> Stacking() {
    QProcess xprop;
    xprop.start("xprop", {"-root", "-notype", "_NET_CLIENT_LIST_STACKING"});
    std::vector<WId> ids;
    if (!xprop.waitForFinished(5000)) return ids;
    const QString text = QString::fromLatin1(xprop.readAllStandardOutput());
    for (const QString& part : text.section('#', 1).split(',', Qt::SkipEmptyParts))
      ids.push_back(static_cast<WId>(part.trimmed().toULongLong(nullptr, 16)));
    return ids;
  }
  static int StackIndex(const std::vector<WId>& stack, const QWidget* window) {
    for (size_t i = 0; i < stack.size(); ++i)
      if (stack[i] == window->winId()) return static_cast<int>(i);
    return -1;
  }
};

}  // namespace

TEST_F(WindowManagerTest, MainWindowComesBackWhereItWasAfterTheSmallWindowAndADetection) {
  TWmain* w = Program().Wmain;
  TWsmall* small = Program().Wsmall;
  w->show();
  SETTLE(w);
  // Where the window manager put it, dragged by the user.
  const QPoint place(300, 250);
  DragTo(w, place);

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    w->Minimize1Click();
    SETTLE(small);
    EXPECT_FALSE(w->isVisible());
    small->Panel1Click();
    SETTLE(w);
    EXPECT_EQ(FrameOf(w).topLeft(), place);
  }

  // "Detect module on LPT1": the splash searches, then the main window is
  // where it was.
  w->DetectmoduleonLPT11Click();
  RunDetection();
  SETTLE(w);
  EXPECT_EQ(FrameOf(w).topLeft(), place);

  // Moved by the program, the same.
  PlaceAt(w, QPoint(120, 90));
  w->Minimize1Click();
  SETTLE(small);
  small->Panel1Click();
  SETTLE(w);
  EXPECT_EQ(FrameOf(w).topLeft(), QPoint(120, 90));
}

TEST_F(WindowManagerTest, SmallWindowStaysAboveTheProgramsOtherWindows) {
  if (QProcess::execute("xprop", {"-version"}) < 0) GTEST_SKIP() << "xprop is not installed";
  TWmain* w = Program().Wmain;
  TWsmall* small = Program().Wsmall;
  TWbarograph* barograph = Program().Wbarograph;
  barograph->show();
  SETTLE(barograph);
  w->Minimize1Click();
  SETTLE(small);

  // The barograph clicked and raised: the small window stays above it.
  barograph->raise();
  barograph->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(barograph, 15000));
  QTest::qWait(300);
  std::vector<WId> stack = Stacking();
  ASSERT_GE(StackIndex(stack, barograph), 0);
  EXPECT_GT(StackIndex(stack, small), StackIndex(stack, barograph));
  // The small window keeps its place meanwhile.
  const QPoint corner = FrameOf(small).topLeft();
  barograph->hide();
  barograph->show();
  SETTLE(barograph);
  stack = Stacking();
  EXPECT_GT(StackIndex(stack, small), StackIndex(stack, barograph));
  EXPECT_EQ(FrameOf(small).topLeft(), corner);
}
