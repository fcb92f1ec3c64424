#pragma once

#include <string>

// A fresh directory below the system's temporary directory for a benchmark's camera files and
// host files, removed with its contents when the object goes. Exits the program when the
// directory cannot be made (a benchmark has no way on without it).
//
// Threading: an object is used by one thread at a time.
class TempDirectory {
  public:
    // `tag` starts the directory's name, e.g. "ostravelk-bench-dev-".
    explicit TempDirectory(const char* tag);
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& Path() const { return mPath; }

  private:
    std::string mPath;
};
