#include "ui/run_control.h"

#include <gtest/gtest.h>

namespace quillset {
namespace {

TEST(RunControlTest, AStopIsHeardOnlyByTheRunItWasAskedDuring) {
  RunControl runs;
  runs.RequestStop();  // no run: nothing to stop
  runs.Begin();
  EXPECT_TRUE(runs.Running());
  EXPECT_FALSE(runs.StopRequested());
  runs.RequestStop();
  EXPECT_TRUE(runs.StopRequested());
  runs.End();
  runs.Begin();  // the next run starts afresh
  EXPECT_FALSE(runs.StopRequested());
}

TEST(RunControlTest, NoRunStartsAfterTheEndOfTheSession) {
  RunControl runs;
  EXPECT_TRUE(runs.MayStart());
  runs.SessionEnded();
  EXPECT_FALSE(runs.MayStart());
}

TEST(RunControlTest, TicksDuringARunWaitAsOneAndTheirFailuresOpenOneBox) {
  RunControl runs;
  runs.TickWaits();
  runs.TickWaits();
  EXPECT_TRUE(runs.TakeWaitingTick());
  EXPECT_FALSE(runs.TakeWaitingTick());

  EXPECT_TRUE(runs.OpenTickFailureBox());
  EXPECT_FALSE(runs.OpenTickFailureBox());
  runs.CloseTickFailureBox();
  EXPECT_TRUE(runs.OpenTickFailureBox());
}

}  // namespace
}  // namespace quillset
