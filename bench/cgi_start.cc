// cgi_start: runs CGI programs one after another as a web server would (the request body on
// standard input, the answer to /dev/null) and prints, per program, the wall time and the
// CPU time (its own, from its start to its exit) of one run.
//   cgi_start RUNS BODY-FILE PROGRAM...   (CONTENT_LENGTH and the rest from the environment)
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

namespace {

double seconds(const timeval& t) {
  return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Runs program `runs` times; false when one could not be started.
bool measure(const char* program, const char* body, int runs) {
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, body, O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  double cpu = 0;
  double started = now();
  bool ok = true;
  for (int i = 0; ok && i < runs; ++i) {
    pid_t child;
    char* argv[] = {const_cast<char*>(program), nullptr};
    ok = posix_spawn(&child, program, &files, nullptr, argv, environ) == 0;
    rusage usage;
    int status;
    if (ok && wait4(child, &status, 0, &usage) == child) {
      cpu += seconds(usage.ru_utime) + seconds(usage.ru_stime);
    }
  }
  double wall = now() - started;
  posix_spawn_file_actions_destroy(&files);
  if (ok)
    printf("%-60s %8.0f us wall %8.0f us CPU\n", program, wall / runs * 1e6, cpu / runs * 1e6);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: cgi_start RUNS BODY-FILE PROGRAM...\n");
    return 2;
  }
  int runs = atoi(argv[1]);
  if (runs < 1 || runs > 100000) return 2;
  for (int i = 3; i < argc; ++i) {
    if (!measure(argv[i], argv[2], runs)) return 1;
  }
  return 0;
}
