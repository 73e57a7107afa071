// The tempo: taps, limits, and a beat count that does not jump when the tempo changes.
#include "control/Tempo.h"

#include <gtest/gtest.h>

namespace {

TEST(Tempo, FourTapsHalfASecondApartGive120AndRestartTheBeat) {
    TTempo tempo;
    tempo.SetBpm(90, 0.0);
    for (const double t : {10.0, 10.5, 11.0, 11.5})
        tempo.Tap(t);
    EXPECT_DOUBLE_EQ(tempo.Bpm(), 120.0);
    EXPECT_DOUBLE_EQ(tempo.Beats(11.5), 0.0) << "the last tap is a downbeat";
    EXPECT_DOUBLE_EQ(tempo.Beats(12.0), 1.0);
    EXPECT_DOUBLE_EQ(tempo.Origin(), 11.5);
}

TEST(Tempo, ATapAfterALongPauseStartsANewSeriesAndOneTapSetsNoTempo) {
    TTempo tempo;
    tempo.Tap(1.0);
    EXPECT_EQ(tempo.Bpm(), kDefaultBpm);
    tempo.Tap(1.4); // 150 BPM
    EXPECT_DOUBLE_EQ(tempo.Bpm(), 150.0);
    tempo.Tap(10.0); // after the gap: the first of a new series
    EXPECT_DOUBLE_EQ(tempo.Bpm(), 150.0);
    tempo.Tap(11.0);
    EXPECT_DOUBLE_EQ(tempo.Bpm(), 60.0);
    // Two taps so close they would give 6000 BPM keep the tempo but still mark the downbeat.
    tempo.Tap(20.0);
    tempo.Tap(20.01);
    EXPECT_DOUBLE_EQ(tempo.Bpm(), 60.0);
    EXPECT_DOUBLE_EQ(tempo.Origin(), 20.01);
}

TEST(Tempo, OnlyTemposInRangeAreTakenAndAChangeKeepsTheBeatCount) {
    TTempo tempo;
    for (const double bad : {0.0, -120.0, 100000.0, 19.9, 400.1})
        EXPECT_FALSE(tempo.SetBpm(bad, 0.0)) << bad;
    EXPECT_EQ(tempo.Bpm(), kDefaultBpm);
    EXPECT_DOUBLE_EQ(tempo.Beats(3.0), 6.0);
    ASSERT_TRUE(tempo.SetBpm(60.0, 3.0));
    EXPECT_DOUBLE_EQ(tempo.Beats(3.0), 6.0);
    EXPECT_DOUBLE_EQ(tempo.Beats(5.0), 8.0);
    tempo.Resync(5.0);
    EXPECT_DOUBLE_EQ(tempo.Beats(5.0), 0.0);
    EXPECT_DOUBLE_EQ(tempo.Origin(), 5.0);
}

} // namespace
