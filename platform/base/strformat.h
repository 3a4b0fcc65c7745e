#pragma once
// printf-style formatting into a std::string of whatever length it needs,
// with the compiler checking the arguments against the format.
#include <string>

std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
