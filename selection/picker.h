// The transition picker's arithmetic: stepping through the classes of N states in row-major
// order, 1->1, 1->2, ..., N->N.
#pragma once

struct ClassIndex {
  int from;  // 0-based
  int to;
};

// The class after `shown`, or `shown` itself at the last class or when N is not 1 ... 10.
// A shown class can lie beyond N x N (N lowered since the lock): the result stays inside the
// 10 x 10 class tables all the same.
ClassIndex NextClass(ClassIndex shown, int states);

// The class before `shown`, or `shown` itself at the first class or when N is not 1 ... 10.
ClassIndex PreviousClass(ClassIndex shown, int states);
