#pragma once

#include <string>

// A shared library opened at run time rather than linked, so that a feature
// few use (publishing, a USB adapter) costs no memory until it is used: a
// library not linked is not mapped, nor are the libraries it needs.
//
// Opens `file` and looks up the `count` functions named in `names` into
// `functions`, in that order. Returns the library's handle, to be kept for
// the rest of the process (a thread may still be inside the library), or
// null, with the loader's message in `error`, when the file cannot be
// opened or lacks one of the functions (the library is then closed again).
// Any thread may call it; the caller makes sure a library is opened once.
void* OpenSharedLibrary(const std::string& file, const char* const* names, int count,
                        void** functions, std::string& error);
