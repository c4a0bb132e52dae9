#include "engine/low_arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>

#ifdef BASRT_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#define BASRT_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define BASRT_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define BASRT_POISON(p, n) ((void)(p), (void)(n))
#define BASRT_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace basrt::low_arena {
namespace {

// Hands out the first `used` bytes of a block of `span` bytes: they become
// addressable, the rest of the block does not.
inline void hand_out(void* p, std::size_t used, std::size_t span) {
  BASRT_UNPOISON(p, used);
  BASRT_POISON(static_cast<char*>(p) + used, span - used);
}

constexpr std::size_t kPage = 4096;
// Addresses stay below 2 GiB, as a 32-bit process's did: a program holds an
// address in a signed 32-bit variable, and an address that is a positive
// value there reaches native code unchanged when it is widened.
constexpr std::uint64_t kLimit = 1ull << 31;
constexpr std::size_t kSmallMax = 32768;     // larger blocks are page-granular
constexpr std::size_t kChunk = 256 * 1024;   // small blocks are carved from chunks
constexpr std::size_t kReleaseMin = 64 * 1024;  // freed large blocks return their pages

// Small size classes: multiples of 16 up to 128, then four classes per power
// of two up to kSmallMax.
constexpr int class_of(std::size_t n) {
  if (n <= 128) return static_cast<int>((n + 15) / 16) - (n == 0 ? 0 : 1);
  int log = 63 - __builtin_clzll(n - 1);  // n - 1 >= 128, so log >= 7
  std::size_t step = std::size_t{1} << (log - 2);
  int sub = static_cast<int>((n - 1 - (std::size_t{1} << log)) / step);
  return 8 + (log - 7) * 4 + sub;
}
constexpr std::size_t size_of_class(int c) {
  if (c < 8) return static_cast<std::size_t>(c + 1) * 16;
  int log = 7 + (c - 8) / 4;
  int sub = (c - 8) % 4;
  return (std::size_t{1} << log) + static_cast<std::size_t>(sub + 1) * (std::size_t{1} << (log - 2));
}
constexpr int kClasses = class_of(kSmallMax) + 1;
static_assert(size_of_class(class_of(129)) >= 129);
static_assert(size_of_class(class_of(kSmallMax)) == kSmallMax);

std::size_t round_page(std::size_t n) { return (n + kPage - 1) & ~(kPage - 1); }

struct FreeBlock {
  FreeBlock* next;
};

class Arena {
 public:
  Arena() { reserve(); }

  void* allocate(std::size_t n) {
    if (n == 0) n = 1;
    if (n <= kSmallMax) {
      int c = class_of(n);
      if (FreeBlock* b = free_[c]) {
        BASRT_UNPOISON(b, sizeof(FreeBlock));
        free_[c] = b->next;
        in_use_ += size_of_class(c);
        hand_out(b, n, size_of_class(c));
        return b;
      }
      void* p = carve(size_of_class(c));
      hand_out(p, n, size_of_class(c));
      return p;
    }
    void* p = allocate_large(round_page(n));
    hand_out(p, n, round_page(n));
    return p;
  }

  void deallocate(void* p, std::size_t n) noexcept {
    if (!p) return;
    if (n == 0) n = 1;
    if (n <= kSmallMax) {
      int c = class_of(n);
      BASRT_UNPOISON(p, sizeof(FreeBlock));
      auto* b = static_cast<FreeBlock*>(p);
      b->next = free_[c];
      free_[c] = b;
      in_use_ -= size_of_class(c);
      BASRT_POISON(p, size_of_class(c));
      return;
    }
    release_large(reinterpret_cast<std::uintptr_t>(p), round_page(n));
  }

  void* reallocate(void* p, std::size_t old_n, std::size_t new_n) {
    if (!p) return allocate(new_n);
    if (new_n == 0) new_n = 1;
    if (old_n > kSmallMax && new_n > kSmallMax) {
      std::size_t old_r = round_page(old_n), new_r = round_page(new_n);
      auto a = reinterpret_cast<std::uintptr_t>(p);
      if (new_r < old_r) release_large(a + new_r, old_r - new_r);
      if (new_r <= old_r || grow_in_place(a, old_r, new_r)) {
        hand_out(p, new_n, new_r);
        return p;
      }
    } else if (old_n <= kSmallMax && new_n <= kSmallMax && class_of(old_n) == class_of(new_n)) {
      hand_out(p, new_n, size_of_class(class_of(new_n)));
      return p;
    }
    void* q = allocate(new_n);
    std::memcpy(q, p, std::min(old_n, new_n));
    deallocate(p, old_n);
    return q;
  }

  bool contains(std::uint64_t a, std::uint64_t len) const noexcept {
    return a >= base_ && len <= end_ - base_ && a - base_ <= (end_ - base_) - len;
  }
  bool is_low() const noexcept { return end_ <= kLimit; }
  std::size_t in_use() const noexcept { return in_use_; }
  void set_limit(std::size_t bytes) noexcept { limit_ = bytes; }
  void ensure_room(std::size_t n) const {
    if (limit_ && (n > limit_ || in_use_ > limit_ - n)) throw std::bad_alloc();
    // At most the range's size less what is handed out can still be.
    if (n > end_ - base_ || in_use_ > (end_ - base_) - n) throw std::bad_alloc();
  }

 private:
  void reserve() {
    constexpr std::uint64_t G = 1ull << 30, M = 1ull << 20;
    // The first hint leaves the process's own heap room to grow below it.
    const std::uint64_t sizes[] = {1792 * M, 1536 * M, G, 512 * M, 256 * M};
    const std::uint64_t hints[] = {0x10000000, 0x20000000, 0x01000000, 0x40000000};
    const int prot = PROT_READ | PROT_WRITE;
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;
    for (std::uint64_t size : sizes) {
      for (std::uint64_t hint : hints) {
        if (hint + size > kLimit) continue;
        void* p = mmap(reinterpret_cast<void*>(hint), size, prot, flags | MAP_FIXED_NOREPLACE, -1, 0);
        if (p == MAP_FAILED) continue;
        auto a = reinterpret_cast<std::uint64_t>(p);
        if (a + size <= kLimit) return adopt(a, size);
        munmap(p, size);  // an old kernel took the hint as a suggestion only
      }
    }
#ifdef MAP_32BIT
    for (std::uint64_t size : {G, 512 * M, 256 * M}) {
      void* p = mmap(nullptr, size, prot, flags | MAP_32BIT, -1, 0);
      if (p != MAP_FAILED) return adopt(reinterpret_cast<std::uint64_t>(p), size);
    }
#endif
    // No low range on this host: serve from anywhere; addresses then do not
    // fit 32 bits and the address-taking operations report that.
    for (std::uint64_t size : {4 * G, G, 256 * M}) {
      void* p = mmap(nullptr, size, prot, flags, -1, 0);
      if (p != MAP_FAILED) return adopt(reinterpret_cast<std::uint64_t>(p), size);
    }
  }
  void adopt(std::uint64_t a, std::uint64_t size) {
    base_ = a;
    end_ = a + size;
    top_ = a;
  }

  void* carve(std::size_t n) {
    if (chunk_left_ < n) {
      chunk_ = reinterpret_cast<std::uintptr_t>(allocate_large(kChunk));
      in_use_ -= kChunk;  // counted per small block instead
      chunk_left_ = kChunk;
      BASRT_POISON(reinterpret_cast<void*>(chunk_), kChunk);
    }
    void* p = reinterpret_cast<void*>(chunk_);
    chunk_ += n;
    chunk_left_ -= n;
    in_use_ += n;
    return p;
  }

  void* allocate_large(std::size_t n) {
    if (limit_ && (n > limit_ || in_use_ > limit_ - n)) throw std::bad_alloc();
    auto it = by_size_.lower_bound({n, 0});
    if (it != by_size_.end()) {
      auto [size, a] = *it;
      by_size_.erase(it);
      by_addr_.erase(a);
      if (size > n) insert_free(a + n, size - n);
      in_use_ += n;
      return reinterpret_cast<void*>(a);
    }
    if (top_ + n > end_ || top_ + n < top_) throw std::bad_alloc();
    std::uintptr_t a = top_;
    top_ += n;
    in_use_ += n;
    return reinterpret_cast<void*>(a);
  }

  void release_large(std::uintptr_t a, std::size_t n) noexcept {
    in_use_ -= n;
    if (n >= kReleaseMin) madvise(reinterpret_cast<void*>(a), n, MADV_DONTNEED);
    BASRT_POISON(reinterpret_cast<void*>(a), n);
    // Merge with the free neighbours.
    auto next = by_addr_.find(a + n);
    if (next != by_addr_.end()) {
      n += next->second;
      by_size_.erase({next->second, next->first});
      by_addr_.erase(next);
    }
    auto prev = by_addr_.lower_bound(a);
    if (prev != by_addr_.begin()) {
      --prev;
      if (prev->first + prev->second == a) {
        a = prev->first;
        n += prev->second;
        by_size_.erase({prev->second, prev->first});
        by_addr_.erase(prev);
      }
    }
    if (a + n == top_) {
      top_ = a;
      return;
    }
    insert_free(a, n);
  }

  bool grow_in_place(std::uintptr_t a, std::size_t old_r, std::size_t new_r) {
    std::uintptr_t end = a + old_r;
    std::size_t extra = new_r - old_r;
    if (limit_ && (extra > limit_ || in_use_ > limit_ - extra)) return false;
    if (end == top_) {
      if (top_ + extra > end_) return false;
      top_ += extra;
      in_use_ += extra;
      return true;
    }
    auto next = by_addr_.find(end);
    if (next == by_addr_.end() || next->second < extra) return false;
    std::size_t size = next->second;
    by_size_.erase({size, end});
    by_addr_.erase(next);
    if (size > extra) insert_free(end + extra, size - extra);
    in_use_ += extra;
    return true;
  }

  void insert_free(std::uintptr_t a, std::size_t n) {
    by_addr_[a] = n;
    by_size_.insert({n, a});
  }

  std::uint64_t base_ = 0, end_ = 0, top_ = 0;
  std::array<FreeBlock*, kClasses> free_{};
  std::uintptr_t chunk_ = 0;
  std::size_t chunk_left_ = 0;
  std::size_t in_use_ = 0;
  std::size_t limit_ = 0;  // 0: the reserved range is the only limit
  std::map<std::uintptr_t, std::size_t> by_addr_;
  std::set<std::pair<std::size_t, std::uintptr_t>> by_size_;
};

Arena& arena() {
  static Arena* a = new Arena();  // never destroyed: strings may outlive static destructors
  return *a;
}

}  // namespace

void* allocate(std::size_t bytes) { return arena().allocate(bytes); }
void deallocate(void* p, std::size_t bytes) noexcept { arena().deallocate(p, bytes); }
void* reallocate(void* p, std::size_t old_bytes, std::size_t new_bytes) {
  return arena().reallocate(p, old_bytes, new_bytes);
}
bool contains(std::uint64_t address, std::uint64_t length) noexcept {
  return arena().contains(address, length);
}
bool is_low() noexcept { return arena().is_low(); }
std::size_t bytes_in_use() noexcept { return arena().in_use(); }
void set_limit(std::size_t bytes) noexcept { arena().set_limit(bytes); }
void ensure_room(std::size_t bytes) { arena().ensure_room(bytes); }

}  // namespace basrt::low_arena
