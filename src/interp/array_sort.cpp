// The array sort statement: an in-place quicksort of a run of one array
// store, with the first element as pivot and a moving hole, where its choices
// are observable; an in-place O(n log n) sort with the same result elsewhere.
// The sort allocates nothing.

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "eval/convert.h"
#include "interp/variables.h"

namespace basrt {

namespace {

// Element access by byte offset in a numeric store; the run has been
// narrowed to the store, so every position lies inside.
template <class T>
struct NumericRun {
  ByteStore& store;
  std::int64_t comparisons_left = 0;  // the quicksort's allowance, see sort_exactly
  using Value = T;
  T take(std::int64_t p) const { return store.get<T>(static_cast<std::size_t>(p)); }
  T at(std::int64_t p) const { return take(p); }
  void put(std::int64_t p, T v) { store.put<T>(static_cast<std::size_t>(p), v); }
  bool less(T a, T b) {
    if (--comparisons_left < 0) throw OverAllowance{};
    return a < b;
  }
  struct OverAllowance {};
};

// Sorts positions lo..hi (step w). Recurses on the shorter side and loops on
// the longer, so that a run already in order cannot exhaust the stack.
template <class Run>
void quicksort(Run& run, std::int64_t lo, std::int64_t hi, std::int64_t w, bool descending) {
  using V = typename Run::Value;
  auto keep_right = [&](const auto& e, const V& pivot) {  // scan down continues
    return descending ? !run.less(pivot, e) : !run.less(e, pivot);
  };
  auto keep_left = [&](const auto& e, const V& pivot) {  // scan up continues
    return descending ? run.less(pivot, e) : run.less(e, pivot);
  };
  while (lo < hi) {
    V pivot = run.take(lo);
    std::int64_t i = lo, j = hi, k;
    for (;;) {
      while (keep_right(run.at(j), pivot)) {
        j -= w;
        if (j <= i) break;
      }
      if (i >= j) {
        k = i;
        break;
      }
      run.put(i, run.take(j));
      i += w;
      while (keep_left(run.at(i), pivot)) {
        i += w;
        if (i >= j) break;
      }
      if (i >= j) {
        k = j;
        break;
      }
      run.put(j, run.take(i));
    }
    run.put(k, std::move(pivot));
    if (k - lo < hi - k) {
      quicksort(run, lo, k - w, w, descending);
      lo = k + w;
    } else {
      quicksort(run, k + w, hi, w, descending);
      hi = k - w;
    }
  }
}

// Narrows the run lo..hi (step w, counted from lo) to the positions that lie
// in a store whose last element position is `last`. Positions outside the
// store name no element; they take no part in the sort. False when fewer
// than two elements are left.
bool narrow_run(std::int64_t& lo, std::int64_t& hi, std::int64_t w, std::int64_t last) {
  if (lo > hi || last < 0) return false;
  if (lo < 0) lo += (-lo + w - 1) / w * w;
  if (hi > last) hi = last;
  if (hi <= lo) return false;
  hi = lo + (hi - lo) / w * w;
  return lo < hi;
}

// Sorts elements 0 to n - 1 of a run in place: `before(i, j)` tells whether
// element i belongs before element j, `swap(i, j)` exchanges them. A
// heapsort: O(n log n) on every run, in order or not, with neither recursion
// nor allocation.
template <class Before, class Swap>
void heap_sort(std::int64_t n, Before before, Swap swap) {
  auto sift_down = [&](std::int64_t root, std::int64_t end) {
    for (;;) {
      std::int64_t child = 2 * root + 1;
      if (child >= end) return;
      if (child + 1 < end && before(child, child + 1)) ++child;
      if (!before(root, child)) return;
      swap(root, child);
      root = child;
    }
  };
  for (std::int64_t i = n / 2; i-- > 0;) sift_down(i, n);
  for (std::int64_t end = n - 1; end > 0; --end) {
    swap(0, end);
    sift_down(0, end);
  }
}

// The quicksort above fixes where equal elements end up. Where equal elements
// cannot be told apart (integers, texts, floats without NaN or -0) any sort
// gives the same result, and the heapsort is used instead: the quicksort
// takes quadratic time on runs that are already in order.
template <class T>
void heap_sort_numeric(ByteStore& store, std::int64_t lo, std::int64_t hi, bool descending) {
  const std::int64_t w = sizeof(T);
  auto at = [&](std::int64_t i) { return store.get<T>(static_cast<std::size_t>(lo + i * w)); };
  heap_sort(
      (hi - lo) / w + 1,
      [&](std::int64_t i, std::int64_t j) {
        // NaN sorts after every number, and -0 before 0 (the order of the
        // sign bit); both occur only when the quicksort gave up.
        T a = at(i), b = at(j);
        if (descending) std::swap(a, b);
        if constexpr (std::is_floating_point_v<T>) {
          if (std::isnan(a) || std::isnan(b)) return !std::isnan(a) && std::isnan(b);
          if (a == b) return std::signbit(a) && !std::signbit(b);
        }
        return a < b;
      },
      [&](std::int64_t i, std::int64_t j) {
        T a = at(i);
        store.put<T>(static_cast<std::size_t>(lo + i * w), at(j));
        store.put<T>(static_cast<std::size_t>(lo + j * w), a);
      });
}

// Floats with a NaN or a -0: the quicksort itself decides where they go, and
// runs exactly as written as long as it needs no more comparisons than a
// generous multiple of n log n (it does on every run that is not in order
// already and not full of equal elements). Beyond that, quadratic time on a
// long run would stall the program: the heapsort finishes the run instead,
// with every NaN at the end of the order (at the start when descending) and
// -0 before 0.
template <class T>
void sort_exactly(ByteStore& store, std::int64_t lo, std::int64_t hi, bool descending) {
  const std::int64_t w = sizeof(T);
  const double n = static_cast<double>((hi - lo) / w + 1);
  NumericRun<T> run{store};
  run.comparisons_left = static_cast<std::int64_t>(8 * n * (std::log2(n) + 1)) + 1000000;
  try {
    quicksort(run, lo, hi, w, descending);
    return;
  } catch (const typename NumericRun<T>::OverAllowance&) {
  }
  heap_sort_numeric<T>(store, lo, hi, descending);
}

template <class T>
void sort_numeric(Interp& ip, int t, std::int64_t lo, std::int64_t hi, bool descending) {
  ByteStore& store = ip.array_num[static_cast<std::size_t>(t - 1)];
  const std::int64_t w = sizeof(T);
  if (!narrow_run(lo, hi, w, static_cast<std::int64_t>(store.size()) - w)) return;
  if constexpr (std::is_floating_point_v<T>) {
    for (std::int64_t p = lo; p <= hi; p += w) {
      T v = store.get<T>(static_cast<std::size_t>(p));
      if (std::isnan(v) || (v == 0 && std::signbit(v))) {
        sort_exactly<T>(store, lo, hi, descending);
        return;
      }
    }
  }
  heap_sort_numeric<T>(store, lo, hi, descending);
}

// Texts compare byte-wise as unsigned values, a proper prefix first.
template <class List, class Get>
void sort_texts(List& list, Get get, std::int64_t lo, std::int64_t hi, bool descending) {
  if (!narrow_run(lo, hi, 1, static_cast<std::int64_t>(list.size()) - 1)) return;
  auto text = [&](std::int64_t i) -> Str& { return get(list[static_cast<std::size_t>(lo + i)]); };
  heap_sort(
      hi - lo + 1,
      [&](std::int64_t i, std::int64_t j) {
        const int c = text(i).compare(text(j));
        return descending ? c > 0 : c < 0;
      },
      [&](std::int64_t i, std::int64_t j) { text(i).swap(text(j)); });
}

}  // namespace

// Sub-code 64: first element (type, array, subscripts), last element (type,
// array, subscripts), direction.
Flow stmt_sort(Interp& ip) {
  int t1 = ip.cs.u8();
  std::int64_t a1 = ip.cs.i16();
  ElementRef first = locate_element(ip, t1 <= kFixed ? t1 : kFixed, a1);
  int t2 = ip.cs.u8();
  std::int64_t a2 = ip.cs.i16();
  ElementRef last = locate_element(ip, t2 <= kFixed ? t2 : kFixed, a2);
  bool descending = static_cast<std::uint8_t>(trunc32(eval_number(ip))) != 0;
  // A run that starts or ends in an array no declaration has made is no run.
  if (first.position == kNoElement || last.position == kNoElement) return Flow::kNext;
  std::int64_t lo = first.position, hi = last.position;
  switch (t2) {
    case kString:
      sort_texts(ip.array_strings, [](Str& s) -> Str& { return s; }, lo, hi, descending);
      break;
    case kFixed:
      sort_texts(ip.array_fixed, [](FixedString& s) -> Str& { return s.text; }, lo, hi, descending);
      break;
    case kU8: sort_numeric<std::uint8_t>(ip, t2, lo, hi, descending); break;
    case kI16: sort_numeric<std::int16_t>(ip, t2, lo, hi, descending); break;
    case kI32:
    case kI32b: sort_numeric<std::int32_t>(ip, t2, lo, hi, descending); break;
    case kU16: sort_numeric<std::uint16_t>(ip, t2, lo, hi, descending); break;
    case kSingle: sort_numeric<float>(ip, t2, lo, hi, descending); break;
    case kDouble: sort_numeric<double>(ip, t2, lo, hi, descending); break;
    default: break;
  }
  return Flow::kNext;
}

}  // namespace basrt
