// ELumatex.h: the one error type the program raises, with printf-style message formatting.
#pragma once

#include <cstdarg>
#include <stdexcept>
#include <string>

class ELumatex : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// printf into a std::string; used for the messages that carry a path or a code ("In %s kann nicht ...").
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char* format, va_list args);
