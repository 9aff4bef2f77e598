// Counts the installer's calls of the platform per package file, against
// the tests' fake Windows, for what no machine here can time: a first
// installation and a reinstall answered Yes of a package of N files, each
// operation's calls per file. Built with the POSIX tests:
//
//     cmake --build --preset posix --target fake_calls
//     build/posix/fake_calls [N]

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "tests/test_support.h"

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 1000;
  if (files < 1) return 2;
  // The tests' client and package, with `files` more package files.
  fake::FakePlatform os = fake::Installation();
  for (int i = 0; i < files; ++i) {
    os.AddFile("C:\\Pkg\\f" + std::to_string(i) + ".bmp", "bitmap");
  }
  std::map<std::string, int> per_run[2];
  for (int pass = 0; pass < 2; ++pass) {
    os.calls.clear();
    os.answers = {platform::kIdYes};
    const int status = fake::RunSetup(os);
    if (status != 1) {
      std::fprintf(stderr, "run %d ended with %d\n", pass + 1, status);
      return 1;
    }
    per_run[pass] = os.calls;
  }
  std::map<std::string, bool> ops;
  for (const auto& run : per_run)
    for (const auto& [op, count] : run) ops[op] = true;
  std::printf("%-16s %10s %10s\n", "calls a file", "fresh", "reinstall");
  double totals[2] = {};
  for (const auto& [op, unused] : ops) {
    double rate[2];
    for (int pass = 0; pass < 2; ++pass) {
      auto it = per_run[pass].find(op);
      rate[pass] = it == per_run[pass].end() ? 0.0 : double(it->second) / files;
      totals[pass] += rate[pass];
    }
    if (rate[0] >= 0.01 || rate[1] >= 0.01) {
      std::printf("%-16s %10.2f %10.2f\n", op.c_str(), rate[0], rate[1]);
    }
  }
  std::printf("%-16s %10.2f %10.2f\n", "all", totals[0], totals[1]);
  return 0;
}
