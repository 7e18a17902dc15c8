// The application object: start-up, command line, single instance.
#pragma once
#include <windows.h>

#include <string>

#include "client/CSConvertor.h"

namespace app {

class CQuarrowApp {
public:
    // Runs the whole start-up and returns the process exit code.
    int Run(HINSTANCE instance, const char* commandLine);

    client::CCSConvertor& Charsets() { return charsets_; }
    static std::string ModulePath();
    static std::string ModuleDirectory();

private:
    client::CCSConvertor charsets_;
};

CQuarrowApp& TheApp();

}  // namespace app
