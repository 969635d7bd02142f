#include <iostream>

#include "platform/windowhost.h"

std::unique_ptr<Host> MakeWindowHost(int&, char**) {
  std::cerr << "varnel: the window is not available in this build; use --script" << std::endl;
  return nullptr;
}
