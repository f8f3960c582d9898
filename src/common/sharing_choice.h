#pragma once

#include <cstdint>

// Whether sharing a loop among the threads pays on this machine now.
//
// On an idle machine it does. Beside other work it may not: where the
// system gives the process a fixed share of the processors, as Linux does
// for each session's processes together, a second thread adds no processor
// time, only its wake-ups, the waits at the end of each loop and a second
// set of data in the caches, and two threads run slower than one. Which
// case holds is told by the loops themselves: from time to time loops that
// could be shared run on the calling thread alone and shared, in turns of
// a few dozen milliseconds, and the work each way gets done per second
// decides the loops until the next such trial. (Turns, not single loops in
// turn: a thread left without work falls asleep, and on a busy machine
// waking it takes as long as a loop.) The choice never changes a result (a loop's values do
// not depend on how it is cut); it only sets how long a run takes.
//
// A trial costs time where sharing pays, so it is made only where the
// loops' pace leaves a doubt: where the shared loops of a stretch kept
// nearly all the threads busy (their processor time over the wall time),
// the processors were there to be had and sharing stays without one.
//
// This class only decides: the caller measures the loops' time and the
// processor time and tells it, so that the decisions can be followed
// without a clock.
class SharingChoice {
 public:
  // Loop time between trials: the first stretch of loops lasts this long,
  // and each stretch whose choice stands (by a trial or without one) doubles
  // the next, up to kLongestInterval.
  static constexpr double kFirstInterval = 0.25;
  static constexpr double kLongestInterval = 8.0;
  // A trial lasts until each way has taken this much loop time and loops,
  // the ways taking turns of kTrialTurn.
  static constexpr double kTrialTime = 0.1;
  static constexpr int kTrialLoops = 8;
  static constexpr double kTrialTurn = 0.025;
  // Sharing is kept only where it gets at least this much more work done
  // per second than the calling thread alone: where the two are close, one
  // thread leaves the processor time to others.
  static constexpr double kSharingGain = 1.1;
  // Shared stretches whose threads were busy at least this share of the
  // time need no trial.
  static constexpr double kBusyShare = 0.8;

  explicit SharingChoice(int threads = 2) : threads_(threads) {}

  // Whether the next loop that could be shared is to be shared.
  bool share_next() const { return trial_ ? trial_next_shared_ : sharing_; }
  // A loop that could be shared has run: shared or not, its work (element
  // updates, as the parts are counted) and its wall time in seconds.
  void record(bool shared, std::int64_t work, double seconds);
  // A stretch of loops has ended: the caller tells the processors the
  // process had over it (processor time over wall time, since the stretch
  // began), and the choice stands or a trial begins.
  bool stretch_ended() const { return !trial_ && since_trial_ >= interval_; }
  void end_stretch(double processors);
  // Counts the stretches begun, so that the caller knows when to start
  // measuring the next one.
  std::int64_t stretches() const { return stretches_; }

  bool sharing() const { return sharing_; }
  bool in_trial() const { return trial_; }
  double interval() const { return interval_; }
  std::int64_t trials() const { return trials_; }

 private:
  void decide();
  void begin_stretch(bool stands);

  int threads_;
  bool sharing_ = true;
  bool trial_ = false;
  bool trial_next_shared_ = false;
  double interval_ = kFirstInterval;
  double since_trial_ = 0;
  double turn_ = 0;
  std::int64_t trials_ = 0, stretches_ = 1;
  struct Way {
    double work = 0, seconds = 0;
    int loops = 0;
  } alone_, shared_;
};
