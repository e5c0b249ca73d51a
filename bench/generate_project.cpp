// Writes a synthetic MATLAB project for measurements:
//   korvath-genproject DIR FILES [SEED [CALLS]]
// FILES functions f000000.m ... spread over folders of 100, listed in
// DIR/toolbox/local/pathdef.m, with DIR/korvath.ini pointing at it. Each file
// calls (CALLS+2)/3 to CALLS functions (default 15: 5-15) with higher numbers (so f000000 reaches
// nearly all of them and the tree stays finite) and uses 20-60 local names, in realistic
// statements: assignments, nested calls, strings, comments, continuations,
// loops and conditions.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

std::string FunctionName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "f%06d", i);
  return name;
}

std::string FolderName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "d%04d", i / 100);
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: korvath-genproject DIR FILES [SEED [CALLS]]\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  const int files = std::atoi(argv[2]);
  const unsigned seed = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 1U;
  const int most = argc > 4 ? std::atoi(argv[4]) : 15;
  if (files < 1 || most < 1) {
    std::fprintf(stderr, "korvath-genproject: FILES and CALLS must be at least 1\n");
    return 2;
  }
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

  std::filesystem::create_directories(root / "toolbox" / "local");
  {
    std::ofstream pathdef(root / "toolbox" / "local" / "pathdef.m");
    pathdef << "function p = pathdef\n%PATHDEF Search path defaults.\n\np = [...\n"
               "%%% BEGIN ENTRIES %%%\n";
    for (int d = 0; d <= (files - 1) / 100; ++d) {
      pathdef << "     matlabroot,'/src/" << FolderName(d * 100) << ":', ...\n";
    }
    pathdef << "%%% END ENTRIES %%%\n     ...\n];\n";
  }
  {
    std::ofstream ini(root / "korvath.ini");
    ini << "Matlab Pathdef = " << std::filesystem::absolute(root).string()
        << "/toolbox/local/pathdef.m\n";
  }

  for (int i = 0; i < files; ++i) {
    const std::filesystem::path dir = root / "src" / FolderName(i);
    std::filesystem::create_directories(dir);
    std::ofstream m(dir / (FunctionName(i) + ".m"));
    std::vector<std::string> callees;
    if (i + 1 < files) {
      const int count = pick((most + 2) / 3, most);
      for (int c = 0; c < count; ++c) callees.push_back(FunctionName(pick(i + 1, files - 1)));
    }
    const int locals = pick(20, 60);
    auto local = [&](int k) { return "v" + std::to_string(k % locals); };
    m << "function out = " << FunctionName(i) << "(a, b)\n";
    m << "% " << FunctionName(i) << "  Generated function number " << i << ".\n";
    m << "%   It calls " << callees.size() << " other functions.\n";
    int k = 0;
    std::size_t c = 0;
    while (k < locals || c < callees.size()) {
      switch (pick(0, 6)) {
        case 0:
          m << local(k) << " = a + " << pick(1, 99) << ".5 * b;  % scale the input\n";
          break;
        case 1:
          if (c < callees.size()) {
            m << local(k) << " = " << callees[c++] << "(" << local(k + 1) << ", 'mode', "
              << local(k + 2) << "');\n";
          } else {
            m << local(k) << " = zeros(" << pick(1, 9) << ", " << local(k + 1) << ");\n";
          }
          break;
        case 2:
          m << "msg = sprintf('%d items in %s', numel(" << local(k) << "), 'list');\n";
          break;
        case 3:
          m << "for idx = 1:numel(" << local(k) << ")\n";
          if (c < callees.size()) {
            m << "    " << local(k + 1) << "(idx) = " << callees[c++] << "(" << local(k)
              << "(idx), ...\n        " << local(k + 2) << ");\n";
          } else {
            m << "    " << local(k + 1) << "(idx) = max(" << local(k) << "(idx), 0);\n";
          }
          m << "end\n";
          break;
        case 4:
          m << "if " << local(k) << " == " << local(k + 1) << " && ~isempty(" << local(k + 2)
            << ")\n    disp('equal values');\nelse\n    " << local(k + 3) << " = " << local(k)
            << "';\nend\n";
          break;
        case 5:
          m << "[" << local(k) << ", " << local(k + 1) << "] = size(" << local(k + 2) << ");\n";
          break;
        default:
          if (c < callees.size()) {
            m << "result = {" << local(k) << ", " << callees[c++] << "(" << local(k + 1)
              << ", struct('f', " << local(k + 2) << "))};\n";
          } else {
            m << local(k) << ".field = " << local(k + 1) << "{1};\n";
          }
      }
      k += 3;
    }
    m << "out = " << local(0) << ";\n";
  }
  return 0;
}
