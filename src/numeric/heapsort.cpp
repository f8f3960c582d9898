#include "numeric/heapsort.h"

#include <cmath>

#include "common/matrix.h"

namespace {

// One entry of a contribution table: the signed key and its three companions.
struct Record {
  REAL key;
  REAL label;
  REAL number;
  REAL value;
};

// The entries of the row table: row p of the key column of A, of RO, RW and TW.
struct RowTable {
  const SortedTable& t;
  REAL& key(std::int32_t p) { return t.A[p][t.key_line]; }
  Record get(std::int32_t p) { return {key(p), t.labels[p][1], t.numbers[p][1], t.values[p][1]}; }
  void put(std::int32_t p, const Record& r) {
    key(p) = r.key;
    t.labels[p][1] = r.label;
    t.numbers[p][1] = r.number;
    t.values[p][1] = r.value;
  }
};

// The entries of the column table: column p of the key row of A, of CO, CW and TW.
struct ColumnTable {
  const SortedTable& t;
  REAL& key(std::int32_t p) { return t.A[t.key_line][p]; }
  Record get(std::int32_t p) { return {key(p), t.labels[1][p], t.numbers[1][p], t.values[1][p]}; }
  void put(std::int32_t p, const Record& r) {
    key(p) = r.key;
    t.labels[1][p] = r.label;
    t.numbers[1][p] = r.number;
    t.values[1][p] = r.value;
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

void HEAPSORTR(const SortedTable& rows, std::int32_t n) { heap_sort_by_magnitude(RowTable{rows}, n); }

void HEAPSORTC(const SortedTable& columns, std::int32_t m) { heap_sort_by_magnitude(ColumnTable{columns}, m); }
