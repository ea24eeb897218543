#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reading and writing one sysfs attribute of an IIO device, and the
// numbers in it. Nothing here blocks: a file is opened with O_NONBLOCK and
// must be a regular file (every sysfs attribute is one), so a FIFO or a
// device node put in an attribute's place is refused before it is read;
// a read takes at most kIioAttributeBytes.
constexpr int kIioAttributeBytes = 256;

// The text of the attribute at path, trailing white space removed. False
// with the reason in *why ("<path>: EIO (Input/output error)", "...: is
// empty"); *error then holds the errno of the failed call, or 0 when the
// file's content is at fault.
bool ReadIioAttribute(const std::string& path, std::string* text, std::string* why,
                      int* error = nullptr);
// Writes text to the attribute at path; false with the reason as above.
bool WriteIioAttribute(const std::string& path, const std::string& text, std::string* why,
                       int* error = nullptr);
// Whether an attribute file is there at all (no read).
bool IioAttributeExists(const std::string& path);

// An errno in words: its name and its text ("ENODEV (No such device)").
std::string IioErrorWords(int error);

// A decimal number as the kernel prints one ("100.040000000", "-27700",
// "0.000024414"), in any locale. False for anything else, NaN and
// infinities included.
bool ParseIioNumber(const std::string& text, double* value);
bool ParseIioInteger(const std::string& text, int64_t* value);
// A list of whole numbers separated by spaces ("1 2 4 8 16"); false when any
// item is not one.
bool ParseIioIntegerList(const std::string& text, std::vector<int>* values);
