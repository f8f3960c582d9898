#include "common/workers.h"

#include "common/run_error.h"

#include <algorithm>
#include <cmath>

namespace {

// Between two shared loops the calling thread does a little work of its own
// (a pivot row, a column exchange), and at the end of a loop it waits for the
// last part another thread took. For about that long a waiting thread keeps
// looking busily; then it sleeps until woken. It never yields the processor
// between looks: on a busy machine a thread that keeps asking for a processor
// takes time from the work of others (its own team's included), and on an
// idle one every look would cost a system call. Waking a sleeper costs tens
// of microseconds, but a loop never waits for it: whoever is awake claims
// the parts, and a thread that wakes late finds them taken.
constexpr int kIdleLooks = 1000;    // an idle thread, before the next loop
constexpr int kCallerLooks = 4000;  // the calling thread, for the last parts

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Waits until value is no longer old; returns the new value.
std::uint32_t wait_for_change(const std::atomic<std::uint32_t>& value, std::uint32_t old, int busy_looks) {
  for (int i = 0; i < busy_looks; ++i) {
    const std::uint32_t now = value.load(std::memory_order_acquire);
    if (now != old) return now;
    relax();
  }
  for (;;) {
    value.wait(old, std::memory_order_acquire);
    const std::uint32_t now = value.load(std::memory_order_acquire);
    if (now != old) return now;
  }
}

constexpr std::uint64_t kPartsBits = 16;
constexpr std::uint64_t kMaxParts = (std::uint64_t{1} << kPartsBits) - 1;

std::uint64_t claim_word(std::uint32_t generation, std::uint64_t claimed, std::uint64_t parts) {
  return (std::uint64_t{generation} << (2 * kPartsBits)) | (claimed << kPartsBits) | parts;
}
std::uint32_t generation_of(std::uint64_t word) { return static_cast<std::uint32_t>(word >> (2 * kPartsBits)); }
std::uint64_t claimed_of(std::uint64_t word) { return (word >> kPartsBits) & kMaxParts; }
std::uint64_t parts_of(std::uint64_t word) { return word & kMaxParts; }

}  // namespace

void Workers::stop_run() {
  throw RunError(kStoppedByCaller, "the run was stopped by its caller before it ended.");
}

Workers::Workers(int threads) : threads_(std::clamp(threads, 1, kMaxThreads)) {}

Workers::~Workers() {
  if (team_.empty()) return;
  stopping_.store(true, std::memory_order_release);
  generation_.fetch_add(1, std::memory_order_release);
  generation_.notify_all();
  for (std::thread& t : team_) t.join();
}

int Workers::parts_for(std::int64_t work, std::int64_t iterations) const {
  const std::int64_t most = std::min<std::int64_t>(std::int64_t{kPartsPerThread} * threads_, iterations);
  if (threads_ == 1 || most <= 1) return 1;
  if (work_per_part_ <= 0) return static_cast<int>(most);
  if (team_.empty() && work < kPartsToStart * work_per_part_) return 1;
  return static_cast<int>(std::clamp<std::int64_t>(work / work_per_part_, 1, most));
}

void Workers::start_team() {
  team_.reserve(static_cast<std::size_t>(threads_ - 1));
  for (int index = 1; index < threads_; ++index) team_.emplace_back([this] { serve(); });
}

void Workers::serve() {
  std::uint32_t seen = 0;
  for (;;) {
    seen = wait_for_change(generation_, seen, kIdleLooks);
    if (stopping_.load(std::memory_order_acquire)) return;
    take_parts(seen);
  }
}

void Workers::take_parts(std::uint32_t generation) {
  // A thread that read the function of a later loop can no longer claim a
  // part of this one: the later loop is published only after every part of
  // this one was claimed and finished.
  const PartFunction function = function_.load(std::memory_order_relaxed);
  void* const context = context_.load(std::memory_order_relaxed);
  std::uint64_t word = claim_.load(std::memory_order_acquire);
  for (;;) {
    if (generation_of(word) != generation || claimed_of(word) >= parts_of(word)) return;
    if (!claim_.compare_exchange_weak(word, word + (std::uint64_t{1} << kPartsBits), std::memory_order_acq_rel,
                                      std::memory_order_acquire))
      continue;
    const std::uint64_t parts = parts_of(word);
    function(context, static_cast<int>(claimed_of(word)));
    if (finished_.fetch_add(1, std::memory_order_acq_rel) + 1 == parts) finished_.notify_all();
    word = claim_.load(std::memory_order_acquire);
  }
}

void Workers::run_shared(int parts, PartFunction function, void* context) {
  if (static_cast<std::uint64_t>(parts) > kMaxParts) {
    for (int p = 0; p < parts; ++p) function(context, p);
    return;
  }
  if (team_.empty()) start_team();
  ++shared_loops_;
  const std::uint32_t generation = generation_.load(std::memory_order_relaxed) + 1;
  function_.store(function, std::memory_order_relaxed);
  context_.store(context, std::memory_order_relaxed);
  finished_.store(0, std::memory_order_relaxed);
  claim_.store(claim_word(generation, 0, static_cast<std::uint64_t>(parts)), std::memory_order_release);
  generation_.store(generation, std::memory_order_release);
  generation_.notify_all();
  take_parts(generation);
  const auto all = static_cast<std::uint32_t>(parts);
  for (std::uint32_t done = finished_.load(std::memory_order_acquire); done != all;
       done = finished_.load(std::memory_order_acquire))
    wait_for_change(finished_, done, kCallerLooks);
}

std::int32_t even_split(std::int32_t first, std::int32_t last, int parts, int p) {
  const std::int64_t count = static_cast<std::int64_t>(last) - first + 1;
  const std::int64_t base = count / parts;
  const std::int64_t longer = count % parts;
  return static_cast<std::int32_t>(first + base * p + std::min<std::int64_t>(p, longer));
}

std::vector<std::int32_t> triangle_split(std::int32_t first, std::int32_t last, int parts, Slope slope) {
  std::vector<std::int32_t> bounds(static_cast<std::size_t>(parts) + 1);
  const double count = static_cast<double>(last) - first + 1;
  bounds[0] = first;
  bounds[static_cast<std::size_t>(parts)] = last + 1;
  for (int p = 1; p < parts; ++p) {
    // Cost of the first x indices: x^2 / 2 (rising) or count x - x^2 / 2
    // (falling); the bound gives each part 1 / parts of count^2 / 2.
    const double share = static_cast<double>(p) / parts;
    const double x = slope == Slope::rising ? count * std::sqrt(share) : count * (1 - std::sqrt(1 - share));
    const auto at = static_cast<std::int32_t>(first + std::llround(x));
    bounds[static_cast<std::size_t>(p)] = std::clamp(at, bounds[static_cast<std::size_t>(p) - 1], last + 1);
  }
  return bounds;
}
