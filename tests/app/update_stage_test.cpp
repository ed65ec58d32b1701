#include "app/update_stage.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(UpdateStageGate, CancelBeforeReplacingWinsAndBlocksTheWorker)
{
    UpdateStageGate gate;
    ASSERT_TRUE(gate.begin_download());
    EXPECT_EQ(gate.cancel(), UpdateStage::cancelled);
    EXPECT_FALSE(gate.begin_replacing());
    EXPECT_EQ(gate.current(), UpdateStage::cancelled);
}

TEST(UpdateStageGate, CancelDuringPreparationKeepsTheDownloadFromStarting)
{
    UpdateStageGate gate;
    EXPECT_EQ(gate.cancel(), UpdateStage::cancelled);
    EXPECT_FALSE(gate.begin_download());
}

TEST(UpdateStageGate, ReplacementUnderWayIsNotInterrupted)
{
    UpdateStageGate gate;
    ASSERT_TRUE(gate.begin_download());
    ASSERT_TRUE(gate.begin_replacing());
    EXPECT_EQ(gate.cancel(), UpdateStage::replacing);
    EXPECT_EQ(gate.current(), UpdateStage::replacing);
}

TEST(UpdateStageGate, FailedDownloadIsStoppedAndCancelReportsIt)
{
    UpdateStageGate gate;
    ASSERT_TRUE(gate.begin_download());
    gate.download_failed();
    EXPECT_EQ(gate.cancel(), UpdateStage::stopped);
}

// A cancel racing the end of the download: exactly one side wins, every time.
TEST(UpdateStageGate, RaceHasExactlyOneWinner)
{
    for (int round = 0; round < 2000; ++round) {
        UpdateStageGate gate;
        ASSERT_TRUE(gate.begin_download());
        bool replaced = false;
        UpdateStage cancel_saw = UpdateStage::preparing;
        std::thread worker([&] { replaced = gate.begin_replacing(); });
        std::thread handler([&] { cancel_saw = gate.cancel(); });
        worker.join();
        handler.join();
        if (replaced)
            ASSERT_EQ(cancel_saw, UpdateStage::replacing);
        else
            ASSERT_EQ(cancel_saw, UpdateStage::cancelled);
    }
}
