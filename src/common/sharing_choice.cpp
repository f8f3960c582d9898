#include "common/sharing_choice.h"

#include <algorithm>

void SharingChoice::record(bool shared, std::int64_t work, double seconds) {
  if (work <= 0 || !(seconds >= 0)) return;
  if (!trial_) {
    since_trial_ += seconds;
    return;
  }
  Way& way = shared ? shared_ : alone_;
  way.work += static_cast<double>(work);
  way.seconds += seconds;
  ++way.loops;
  // Turns, so that both ways meet the same stretch of the run: a run's
  // loops change their size and kind slowly.
  turn_ += seconds;
  if (turn_ >= kTrialTurn) {
    trial_next_shared_ = !shared;
    turn_ = 0;
  }
  const auto done = [](const Way& w) { return w.loops >= kTrialLoops && w.seconds >= kTrialTime; };
  if (done(alone_) && done(shared_)) decide();
}

void SharingChoice::end_stretch(double processors) {
  if (!stretch_ended()) return;
  if (sharing_ && processors >= kBusyShare * threads_) {
    begin_stretch(true);
    return;
  }
  trial_ = true;
  trial_next_shared_ = !sharing_;  // the trial begins with the way not taken
  turn_ = 0;
  alone_ = shared_ = Way{};
}

void SharingChoice::decide() {
  const double alone_rate = alone_.work / std::max(alone_.seconds, 1e-9);
  const double shared_rate = shared_.work / std::max(shared_.seconds, 1e-9);
  const bool share = shared_rate >= kSharingGain * alone_rate;
  const bool stands = share == sharing_;
  sharing_ = share;
  trial_ = false;
  ++trials_;
  begin_stretch(stands);
}

void SharingChoice::begin_stretch(bool stands) {
  interval_ = stands ? std::min(2 * interval_, kLongestInterval) : kFirstInterval;
  since_trial_ = 0;
  ++stretches_;
}
