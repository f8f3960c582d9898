#include "numeric/heapsort.h"

#include <cmath>

#include "common/run_state.h"

namespace {

// One entry of a contribution table: the signed key and its three companions.
struct Record {
  REAL key;
  REAL label;
  REAL number;
  REAL value;
};

// The entries of the row table: row p of A's column FTW, of RO, RW and TW.
struct RowTable {
  RunState& s;
  REAL& key(std::int32_t p) { return s.A[p][s.FTW]; }
  Record get(std::int32_t p) { return {key(p), s.RO[p][1], s.RW[p][1], s.TW[p][1]}; }
  void put(std::int32_t p, const Record& r) {
    key(p) = r.key;
    s.RO[p][1] = r.label;
    s.RW[p][1] = r.number;
    s.TW[p][1] = r.value;
  }
};

// The entries of the column table: column p of A's row FTW, of CO, CW and TW.
struct ColumnTable {
  RunState& s;
  REAL& key(std::int32_t p) { return s.A[s.FTW][p]; }
  Record get(std::int32_t p) { return {key(p), s.CO[1][p], s.CW[1][p], s.TW[1][p]}; }
  void put(std::int32_t p, const Record& r) {
    key(p) = r.key;
    s.CO[1][p] = r.label;
    s.CW[1][p] = r.number;
    s.TW[1][p] = r.value;
  }
};

// Heap with the smallest magnitude at the root; each extraction moves the root
// behind the shrinking heap, so the table ends in decreasing magnitude.
template <typename Table>
void heap_sort_by_magnitude(Table t, std::int32_t n) {
  if (n < 2) return;
  std::int32_t L = n / 2 + 1;
  std::int32_t IR = n;
  for (;;) {
    Record saved;
    if (L > 1) {
      L = L - 1;
      saved = t.get(L);
    } else {
      saved = t.get(IR);
      t.put(IR, t.get(1));
      IR = IR - 1;
      if (IR == 1) {
        t.put(1, saved);
        return;
      }
    }
    const REAL RX = std::fabs(saved.key);
    std::int32_t I = L;
    std::int32_t J = L + L;
    while (J <= IR) {
      if (J < IR && std::fabs(t.key(J)) > std::fabs(t.key(J + 1))) J = J + 1;
      if (RX > std::fabs(t.key(J))) {
        t.put(I, t.get(J));
        I = J;
        J = J + J;
      } else {
        J = IR + 1;
      }
    }
    t.put(I, saved);
  }
}

}  // namespace

void HEAPSORTR(RunState& s, std::int32_t n) { heap_sort_by_magnitude(RowTable{s}, n); }

void HEAPSORTC(RunState& s, std::int32_t m) { heap_sort_by_magnitude(ColumnTable{s}, m); }
