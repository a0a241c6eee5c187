/* paired_time RUNS IMAGE PROGRAM_A PROGRAM_B: runs "PROGRAM IMAGE" for A and
 * B alternately, RUNS times each, in the current folder, and prints the
 * median wall time of each and their ratio. Interleaving puts both under
 * the same machine noise. */
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

static double run_once(char* program, char* image, posix_spawn_file_actions_t* quiet) {
  char* argv[] = {program, image, NULL};
  struct timespec start, end;
  pid_t pid;
  int status;
  clock_gettime(CLOCK_MONOTONIC, &start);
  if (posix_spawn(&pid, program, quiet, NULL, argv, environ) != 0) exit(2);
  waitpid(pid, &status, 0);
  clock_gettime(CLOCK_MONOTONIC, &end);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) exit(3);
  return (double)(end.tv_sec - start.tv_sec) * 1e6 + (double)(end.tv_nsec - start.tv_nsec) / 1e3;
}

static int compare(const void* a, const void* b) {
  const double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "Usage: %s RUNS IMAGE PROGRAM_A PROGRAM_B\n", argv[0]);
    return 1;
  }
  const int runs = atoi(argv[1]);
  if (runs < 1) return 1;
  double* a = malloc(sizeof(double) * (size_t)runs);
  double* b = malloc(sizeof(double) * (size_t)runs);
  double* ratio = malloc(sizeof(double) * (size_t)runs);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", 1 /* O_WRONLY */, 0);
  for (int i = 0; i < runs; ++i) {
    a[i] = run_once(argv[3], argv[2], &quiet);
    b[i] = run_once(argv[4], argv[2], &quiet);
    ratio[i] = a[i] / b[i];
  }
  qsort(a, (size_t)runs, sizeof(double), compare);
  qsort(b, (size_t)runs, sizeof(double), compare);
  qsort(ratio, (size_t)runs, sizeof(double), compare);
  printf("%.0f %.0f %.2f\n", a[runs / 2], b[runs / 2], ratio[runs / 2]);
  return 0;
}
