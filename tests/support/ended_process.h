// A process number that no process has now: a child that has ended and been reaped. What a
// killed run's hidden files are named by.
#pragma once

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

inline unsigned long EndedProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  return static_cast<unsigned long>(child);
}
#endif
