// Numbers as the program writes them for people: titles, captions and figure headings.
#pragma once

#include <string>

// A whole number with a comma between every three digits: "1,914".
std::string WithThousands(long long number);
