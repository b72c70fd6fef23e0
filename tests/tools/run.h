// Runs one of our command-line tools in a folder and collects what it says.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tervalon::test {

struct ToolRun {
  int status = -1;                 // exit code
  std::vector<std::string> lines;  // standard output, line by line
  std::string err;                 // standard error
};

// Runs `command` (a shell command) in `dir` with `input` on standard input.
inline ToolRun run_in(const std::string& dir, const std::string& command, const std::string& input = "") {
  std::string in_file = dir + "/.stdin", err_file = dir + "/.stderr";
  FILE* f = std::fopen(in_file.c_str(), "wb");
  std::fwrite(input.data(), 1, input.size(), f);
  std::fclose(f);
  std::string full = "cd '" + dir + "' && " + command + " < .stdin 2> .stderr";
  ToolRun r;
  FILE* p = popen(full.c_str(), "r");
  std::string out;
  std::array<char, 65536> buf;
  for (std::size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;) out.append(buf.data(), n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) r.lines.push_back(line);
  std::ostringstream err;
  err << std::ifstream(err_file).rdbuf();
  r.err = err.str();
  return r;
}

}  // namespace tervalon::test
