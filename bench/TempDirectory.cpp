#include "TempDirectory.h"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

TempDirectory::TempDirectory(const char* tag)
    : mPath((std::filesystem::temp_directory_path() / tag).string() + "XXXXXX") {
    if (!::mkdtemp(mPath.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
}
