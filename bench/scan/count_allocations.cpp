// An LD_PRELOAD shim that counts the heap allocations a process makes: calls of malloc,
// calloc, realloc, aligned allocation and every form of operator new. At exit it writes
// the counts as "name count" lines to the file named by COUNT_ALLOCATIONS_OUTPUT (nothing
// is written without it). It hands the work to glibc's own allocator entry points, so
// the counting never recurses through itself.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <new>

// glibc's own allocator entry points; the names are glibc's, hence reserved.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}
// NOLINTEND(bugprone-reserved-identifier)

namespace {

enum Counter { MALLOC, CALLOC, REALLOC, ALIGNED, NEW, COUNTER_COUNT };
constexpr const char* COUNTER_NAMES[COUNTER_COUNT] = {"malloc", "calloc", "realloc", "aligned",
                                                      "new"};

std::atomic<unsigned long long> counters[COUNTER_COUNT];

void count(Counter counter) {
  counters[counter].fetch_add(1, std::memory_order_relaxed);
}

// Appends "name value\n" at `at`; returns the new end.
char* appendLine(char* at, char* end, const char* name, unsigned long long value) {
  while (*name != '\0' && at < end) *at++ = *name++;
  if (at < end) *at++ = ' ';
  at = std::to_chars(at, end, value).ptr;
  if (at < end) *at++ = '\n';
  return at;
}

__attribute__((destructor)) void reportCounts() {
  const char* path = std::getenv("COUNT_ALLOCATIONS_OUTPUT");
  if (path == nullptr || *path == '\0') return;
  char text[256];
  char* at = text;
  unsigned long long total = 0;
  for (int i = 0; i < COUNTER_COUNT; ++i) {
    const unsigned long long value = counters[i].load(std::memory_order_relaxed);
    total += value;
    at = appendLine(at, text + sizeof text, COUNTER_NAMES[i], value);
  }
  at = appendLine(at, text + sizeof text, "total", total);
  const int file = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file < 0) return;
  const ssize_t ignored = write(file, text, static_cast<std::size_t>(at - text));
  (void)ignored;
  close(file);
}

// Aborts when out of memory, as the run would.
void* allocateForNew(std::size_t size, std::size_t alignment) {
  count(NEW);
  if (size == 0) size = 1;
  void* memory = alignment <= alignof(std::max_align_t) ? __libc_malloc(size)
                                                        : __libc_memalign(alignment, size);
  if (memory == nullptr) std::abort();
  return memory;
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) {
  count(MALLOC);
  return __libc_malloc(size);
}

void* calloc(std::size_t elements, std::size_t size) {
  count(CALLOC);
  return __libc_calloc(elements, size);
}

void* realloc(void* pointer, std::size_t size) {
  count(REALLOC);
  return __libc_realloc(pointer, size);
}

void free(void* pointer) {
  __libc_free(pointer);
}

void* memalign(std::size_t alignment, std::size_t size) {
  count(ALIGNED);
  return __libc_memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
  count(ALIGNED);
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, std::size_t alignment, std::size_t size) {
  count(ALIGNED);
  void* memory = __libc_memalign(alignment, size);
  if (memory == nullptr) return 12;  // ENOMEM
  *result = memory;
  return 0;
}

}  // extern "C"

// The plain and the aligned form, and their deletes: libstdc++'s array and non-throwing
// forms call these.
void* operator new(std::size_t size) {
  return allocateForNew(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return allocateForNew(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* pointer) noexcept {
  __libc_free(pointer);
}
void operator delete(void* pointer, std::align_val_t) noexcept {
  __libc_free(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
  __libc_free(pointer);
}
void operator delete(void* pointer, std::size_t, std::align_val_t) noexcept {
  __libc_free(pointer);
}
