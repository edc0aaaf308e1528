// A fresh temporary folder per test and whole-file helpers.
#pragma once

#include <string>
#include <string_view>

// Creates a new empty folder under $TMPDIR (or /tmp; on Windows the user's temporary
// folder); removes it with all its contents when destroyed. Throws std::runtime_error if
// the folder cannot be made.
class tempdir {
  public:
    tempdir();
    tempdir(const tempdir &) = delete;
    tempdir &operator=(const tempdir &) = delete;
    ~tempdir();

    const std::string &path() const { return folder; }
    std::string file(std::string_view name) const { return folder + "/" + std::string(name); }

  private:
    std::string folder;
};

// Both throw std::runtime_error on failure so a test stops with the reason.
void writefile(const std::string &path, std::string_view bytes); // creates or truncates
std::string readfile(const std::string &path);
