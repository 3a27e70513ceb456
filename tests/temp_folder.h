#pragma once

// A new, empty folder for one test's files, removed with them afterwards.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>
#include <string>

struct TempFolder {
  TempFolder() {
    char name[] = "/tmp/mannequin-test.XXXXXX";
    if (mkdtemp(name)) path = name;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }

  std::string pathOf(const std::string& name) const { return path + "/" + name; }

  // The folder's entries, hidden ones too.
  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path)) names.insert(e.path().filename().string());
    return names;
  }

  static std::string contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  // The file with these bytes, in new folders where they are missing.
  static void put(const std::string& file, const std::string& bytes) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ignored);
    std::ofstream(file, std::ios::binary) << bytes;
  }

  // Writes the bytes over the file's first ones, in place, and puts its
  // mtime back, as a program may: only the ctime tells. False on failure.
  static bool overwriteKeepingMtime(const std::string& file, const std::string& bytes) {
    struct stat st {};
    timespec now{};
    // A ctime comes from the coarse clock, which must move past the file's.
    while (::stat(file.c_str(), &st) == 0 && clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 &&
           std::make_pair(now.tv_sec, now.tv_nsec) <= std::make_pair(st.st_ctim.tv_sec, st.st_ctim.tv_nsec)) {
    }
    const int fd = ::open(file.c_str(), O_WRONLY);
    const bool whole = ::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
    const timespec times[2] = {st.st_atim, st.st_mtim};
    return ::close(fd) == 0 && whole && ::utimensat(AT_FDCWD, file.c_str(), times, 0) == 0;
  }

  std::string path;
};
