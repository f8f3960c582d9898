#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <type_traits>
#include <vector>

// A fixed team of threads for the loops of the analysis whose iterations do
// not depend on each other. A loop is cut into parts by a rule that never
// looks at the clock, every part is done by exactly one thread (whichever
// claims it first), and whatever the parts find is combined by the caller in
// part order. Each value is formed by the same operations, in the same
// order, however the loop is cut: the number of threads, or which thread did
// which part, never changes a result.
//
// The calling thread takes parts too; the other threads are started by the
// first loop large enough to repay starting them, so a small run never
// starts one. Parts
// never let an exception out (a part that may fail, such as one reading a
// part of the data file, keeps its error for the caller to raise in part
// order), write to the console, pause or share out loops of their own.
//
// A thread with nothing to do looks for work busily only briefly, then
// sleeps: on a machine busy with other work a waiting thread must leave the
// processors to the threads that can run.
class Workers {
 public:
  // Upper limit of the thread count.
  static constexpr int kMaxThreads = 256;
  // Below this many element updates per part a loop stays on one thread:
  // waking a thread and handing it a part costs about as much.
  static constexpr std::int64_t kDefaultWorkPerPart = 16384;
  // Starting the threads costs about as much as this many parts: until then
  // a loop is shared only when it holds at least that much work.
  static constexpr std::int64_t kPartsToStart = 16;
  // More parts than threads let the threads that are ahead take over the
  // parts of one that the system holds up; this many per thread at most.
  static constexpr int kPartsPerThread = 8;

  explicit Workers(int threads = 1);
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  int threads() const { return threads_; }

  // The number of parts for a loop of `iterations` iterations that makes
  // `work` element updates in all: one per kDefaultWorkPerPart, at most
  // kPartsPerThread per thread and one per iteration; 1 on one thread, and
  // 1 for less than kPartsToStart parts' work while the threads have not
  // been started.
  int parts_for(std::int64_t work, std::int64_t iterations) const;

  // A run that a caller may stop (the library's caller, on Ctrl-C): while
  // the flag is set, the next loop stops the run (kStoppedByCaller) before
  // any part starts. Every stage of the analysis shares its loops out
  // through here, so a stop comes within one loop's time.
  void stop_when(const std::atomic<bool>* flag) { stop_ = flag; }
  const std::atomic<bool>* stop_flag() const { return stop_; }

  // Runs part(p) for p = 0..parts-1 and returns when all have finished;
  // parts = 1 runs part(0) on the calling thread only.
  template <typename Part>
  void run(int parts, Part&& part) {
    if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) stop_run();
    if (parts <= 1 || threads_ == 1) {
      for (int p = 0; p < parts; ++p) part(p);
      return;
    }
    run_shared(parts, [](void* c, int index) { (*static_cast<std::remove_reference_t<Part>*>(c))(index); },
               const_cast<void*>(static_cast<const void*>(&part)));
  }

  // For tests: the work per part below which loops stay on one thread (0:
  // every loop of at least two iterations is shared), and the number of
  // loops that were shared among several threads.
  void set_work_per_part(std::int64_t work) { work_per_part_ = work; }
  std::int64_t shared_loops() const { return shared_loops_; }

 private:
  using PartFunction = void (*)(void*, int);
  [[noreturn]] static void stop_run();
  void run_shared(int parts, PartFunction function, void* context);
  void start_team();
  void serve();
  // Claims and runs parts of the loop of `generation` until none is left.
  void take_parts(std::uint32_t generation);

  int threads_;
  std::int64_t work_per_part_ = kDefaultWorkPerPart;
  std::int64_t shared_loops_ = 0;
  std::vector<std::thread> team_;

  // The loop being shared. The claim word holds its generation (high 32
  // bits), the parts claimed so far and the number of parts (16 bits each):
  // a thread that wakes late cannot claim a part of a loop that has ended,
  // as its claim names the generation it saw.
  std::atomic<PartFunction> function_{nullptr};
  std::atomic<void*> context_{nullptr};
  std::atomic<std::uint64_t> claim_{0};
  std::atomic<std::uint32_t> generation_{0};  // what the idle threads wait on
  std::atomic<std::uint32_t> finished_{0};    // parts done of the current loop
  std::atomic<bool> stopping_{false};
  const std::atomic<bool>* stop_ = nullptr;
};

// Runs body(from, to) over first..last, split evenly into the parts that
// `work` element updates in all are worth (from..to inclusive, never empty).
template <typename Body>
void share_range(Workers& workers, std::int32_t first, std::int32_t last, std::int64_t work, Body&& body);

// The first index of part p when the indices first..last are split into
// `parts` runs of nearly equal length (the longer ones first).
std::int32_t even_split(std::int32_t first, std::int32_t last, int parts, int p);

// The indices of that part, from..to inclusive (empty when to < from).
struct PartRange {
  std::int32_t from, to;
};
inline PartRange part_range(std::int32_t first, std::int32_t last, int parts, int p) {
  return {even_split(first, last, parts, p), even_split(first, last, parts, p + 1) - 1};
}

// Bounds of `parts` runs of first..last for loops whose index i costs about
// i - first + 1 (rising) or last - i + 1 (falling) units, so that the parts
// cost about the same. bounds[p] is the first index of part p, bounds[parts]
// = last + 1.
enum class Slope { rising, falling };
std::vector<std::int32_t> triangle_split(std::int32_t first, std::int32_t last, int parts, Slope slope);

template <typename Body>
void share_range(Workers& workers, std::int32_t first, std::int32_t last, std::int64_t work, Body&& body) {
  if (last < first) return;
  const int parts = workers.parts_for(work, static_cast<std::int64_t>(last) - first + 1);
  workers.run(parts, [&](int p) {
    const PartRange r = part_range(first, last, parts, p);
    body(r.from, r.to);
  });
}
