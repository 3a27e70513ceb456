#pragma once

// A new, empty folder for one test's files, removed with them afterwards.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
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

  static void put(const std::string& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

  std::string path;
};
