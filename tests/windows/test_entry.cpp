// How the entry keeps an exception that escaped an event handler.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <functional>

#include "main/Entry.h"

namespace {

// The error box that reports an escaped exception runs a loop of its own; it
// must stay open until the user closes it (here: until it ends itself).
int RunErrorBox(const std::function<void()>& meanwhile) {
  QEventLoop box;
  QTimer ticks;
  QObject::connect(&ticks, &QTimer::timeout, meanwhile);
  ticks.start(5);
  QTimer::singleShot(60, &box, [&box] { box.exit(5); });
  return box.exec();
}

TEST(EscapedException, EndsOnlyTheRunningLoopAndKeepsTheFirstMessage) {
  // Escaped while the windows were being shown, before the loop ran: there
  // is nothing to end, and the box reporting it must still stay open.
  EscapedException early;
  early.Keep("while showing");
  EXPECT_EQ(RunErrorBox([] {}), 5);
  EXPECT_TRUE(early.caught);
  EXPECT_EQ(early.message, "while showing");

  // Escaped from a handler in the running loop: the loop ends. The same
  // fault again on every tick while the box is up neither closes the box nor
  // replaces the message.
  EscapedException late;
  QObject guard;
  QTimer::singleShot(0, &guard, [&late] { late.Keep("in the loop"); });
  QTimer::singleShot(3000, &guard, [] { QCoreApplication::exit(7); });
  EXPECT_EQ(QCoreApplication::exec(), 0);
  EXPECT_EQ(RunErrorBox([&late] { late.Keep("again"); }), 5);
  EXPECT_EQ(late.message, "in the loop");
}

}  // namespace
