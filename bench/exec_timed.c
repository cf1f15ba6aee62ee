/* Runs a program with the time just before its exec noted first in
 * READ_TRACE_FILE ("exec <CLOCK_MONOTONIC ns>"), so that bench/read_trace.so's
 * notes in that program can be measured from it, with no fork in between.
 *   exec_timed PROGRAM [ARG]... */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  const char* path = getenv("READ_TRACE_FILE");
  if (argc < 2 || !path) {
    fputs("usage: READ_TRACE_FILE=FILE exec_timed PROGRAM [ARG]...\n", stderr);
    return 2;
  }
  const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT, 0600);
  if (fd < 0) {
    perror(path);
    return 1;
  }
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  dprintf(fd, "exec %lld\n", (long long)t.tv_sec * 1000000000LL + t.tv_nsec);
  close(fd);
  execvp(argv[1], argv + 1);
  perror(argv[1]);
  return 127;
}
