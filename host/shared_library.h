// Loading a plug-in binary: dlopen on POSIX systems, LoadLibraryW on Windows.
#pragma once

#include <string>

namespace ofxhost {

// The folder under a bundle's Contents that holds this system's binary.
extern const char* const kBundleArchitecture;

// Paths are UTF-8. Null on failure, with the system's reason in *error.
void* openSharedLibrary(const std::string& path, std::string* error);
void* findSharedSymbol(void* library, const char* name);
void closeSharedLibrary(void* library);

}  // namespace ofxhost
