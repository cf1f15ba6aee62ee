/* Preloaded into a capture program (LD_PRELOAD) to time its screen read from
 * outside: every reply to a GetImage or MIT-SHM GetImage request appends the
 * CLOCK_MONOTONIC time it arrived, in nanoseconds, to the file named by
 * READ_TRACE_FILE. Works the same for any program over xcb (Qt's included). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static void note(void) {
  const char* path = getenv("READ_TRACE_FILE");
  if (!path) return;
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  char line[32];
  const int n = snprintf(line, sizeof line, "%lld\n", (long long)t.tv_sec * 1000000000LL + t.tv_nsec);
  const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT, 0600);
  if (fd < 0) return;
  if (write(fd, line, (size_t)n) < 0) { /* nothing to do */ }
  close(fd);
}

#define WRAP(name)                                                                   \
  void* name(void* c, unsigned int cookie, void** e) {                               \
    static void* (*next)(void*, unsigned int, void**);                               \
    if (!next) next = (void* (*)(void*, unsigned int, void**))dlsym(RTLD_NEXT, #name); \
    void* reply = next(c, cookie, e);                                                \
    if (reply) note();                                                               \
    return reply;                                                                    \
  }

WRAP(xcb_get_image_reply)
WRAP(xcb_shm_get_image_reply)
