#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "service/Tsd_notify.h"
#include "support_listener.h"

using Messages = std::vector<std::string>;

TEST(SdNotify, WithoutAManagerNothingIsSent) {
  ScopedEnv socket("NOTIFY_SOCKET", nullptr);
  ScopedEnv usec("WATCHDOG_USEC", nullptr);
  Tsd_notify notify;
  EXPECT_FALSE(notify.Listening());
  EXPECT_FALSE(notify.Ready());
  EXPECT_FALSE(notify.Status("Recording"));
  EXPECT_EQ(notify.WatchdogUsec(), 0u);
}

TEST(SdNotify, TheManagerHearsEachStateOnce) {
  NotifyListener manager;
  ASSERT_TRUE(manager.Valid());
  Tsd_notify notify;
  EXPECT_TRUE(notify.Listening());
  EXPECT_TRUE(notify.Ready());
  EXPECT_TRUE(notify.Status("Recording: 1013.2 mbar at 14:20:05"));
  EXPECT_TRUE(notify.Status("Recording: 1013.2 mbar at 14:20:05"));  // unchanged: not sent
  EXPECT_TRUE(notify.Status("No module found\non GPIO"));
  EXPECT_TRUE(notify.Watchdog());
  EXPECT_TRUE(notify.Reloading());
  EXPECT_TRUE(notify.Ready());
  EXPECT_TRUE(notify.Stopping());
  const Messages got = manager.Take();
  ASSERT_EQ(got.size(), 7u);
  EXPECT_EQ(got[0], "READY=1");
  EXPECT_EQ(got[1], "STATUS=Recording: 1013.2 mbar at 14:20:05");
  // A line break would have started an assignment of its own.
  EXPECT_EQ(got[2], "STATUS=No module found on GPIO");
  EXPECT_EQ(got[3], "WATCHDOG=1");
  EXPECT_EQ(got[4].rfind("RELOADING=1\nMONOTONIC_USEC=", 0), 0u) << got[4];
  EXPECT_EQ(got[5], "READY=1");
  EXPECT_EQ(got[6], "STOPPING=1");
}

TEST(SdNotify, TheWatchdogIntervalIsThisProcesssOnly) {
  NotifyListener manager;
  {
    ScopedEnv usec("WATCHDOG_USEC", "3000000");
    ScopedEnv pid("WATCHDOG_PID", std::to_string(::getpid()).c_str());
    EXPECT_EQ(Tsd_notify().WatchdogUsec(), 3000000u);
  }
  {
    // Meant for another process (the environment passed on to a child).
    ScopedEnv usec("WATCHDOG_USEC", "3000000");
    ScopedEnv pid("WATCHDOG_PID", std::to_string(::getpid() + 1).c_str());
    EXPECT_EQ(Tsd_notify().WatchdogUsec(), 0u);
  }
  {
    ScopedEnv usec("WATCHDOG_USEC", "many");
    ScopedEnv pid("WATCHDOG_PID", nullptr);
    EXPECT_EQ(Tsd_notify().WatchdogUsec(), 0u);
  }
}
