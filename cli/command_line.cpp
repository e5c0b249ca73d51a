#include "cli/command_line.h"

namespace korvath::cli {

const char* UsageText() {
  return "Usage: korvath-tree [OPTIONS] START\n"
         "       korvath-tree [OPTIONS] --callers NAME\n"
         "       korvath-tree [OPTIONS] --uncalled\n"
         "Prints the call tree of the MATLAB file START (\"name\" or \"name.m\"), following\n"
         "the search path of pathdef.m as named in korvath.ini; with --callers, the tree of\n"
         "the functions that call NAME; with --uncalled, every function on the search path\n"
         "that no other function calls.\n"
         "\n"
         "Options:\n"
         "  --pathdef FILE          use FILE as pathdef.m instead of the one in korvath.ini\n"
         "  --discard FILE          read the discard list from FILE instead of discardables.txt\n"
         "  --show GROUP            show the discard list's group GROUP (repeatable;\n"
         "                          --show '' is the group of entries before any heading)\n"
         "  --show-all              show every group of the discard list\n"
         "  -C DIR                  change to DIR first\n"
         "  --format text|json|dot  output format (default: text); in json every node is\n"
         "                          {text, name, file, lines, children}\n"
         "  --format files          instead of the tree, the path of every file the run found\n"
         "  --format graph|svg      the call graph (each function once, each call pair once\n"
         "                          with its number of lines) as DOT, or laid out as SVG\n"
         "  --callers NAME          the callers tree of NAME (\"name\" or \"name.m\"): its\n"
         "                          callers, theirs, and so on, each function's callers\n"
         "                          shown once\n"
         "  --uncalled              list \"name<TAB>file\" (--format json: [{name, file}]) of\n"
         "                          every function that no other function calls\n"
         "  --user-only             leave files under matlabroot out of --format files and\n"
         "                          --uncalled\n"
         "  --progress              print every progress caption to standard error\n"
         "  --stats                 print counts and timings to standard error\n"
         "  --list-files            print the path of every file scanned to standard error\n"
         "  --help                  print this help\n"
         "\n"
         "Exit status: 0 with a tree, 1 when no tree could be made, 2 for a usage error,\n"
         "3 when the output could not be written.\n";
}

platform::Result ParseCommandLine(const std::vector<std::string>& args, CommandLine& cl) {
  cl = CommandLine{};
  bool haveStart = false;
  auto fail = [](std::string message) {
    return platform::Result::Failure(platform::Status::UsageError, std::move(message));
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (arg == "--help" || arg == "-h") {
      cl.help = true;
    } else if (arg == "--pathdef") {
      if (!value(v)) return fail("--pathdef needs a file");
      cl.pathdef = v;
    } else if (arg == "--discard") {
      if (!value(v)) return fail("--discard needs a file");
      cl.discard = v;
    } else if (arg == "--show") {
      if (!value(v)) return fail("--show needs a group");
      cl.showGroups.push_back(v);
    } else if (arg == "--show-all") {
      cl.showAll = true;
    } else if (arg == "-C") {
      if (!value(v)) return fail("-C needs a directory");
      cl.directory = v;
    } else if (arg == "--format") {
      if (!value(v)) return fail("--format needs text, json, dot, files, graph or svg");
      if (v == "text") {
        cl.format = OutputFormat::Text;
      } else if (v == "json") {
        cl.format = OutputFormat::Json;
      } else if (v == "dot") {
        cl.format = OutputFormat::Dot;
      } else if (v == "files") {
        cl.format = OutputFormat::Files;
      } else if (v == "graph") {
        cl.format = OutputFormat::Graph;
      } else if (v == "svg") {
        cl.format = OutputFormat::Svg;
      } else {
        return fail("unknown format '" + v + "' (text, json, dot, files, graph or svg)");
      }
    } else if (arg == "--progress") {
      cl.progress = true;
    } else if (arg == "--stats") {
      cl.stats = true;
    } else if (arg == "--list-files") {
      cl.listFiles = true;
    } else if (arg == "--callers") {
      if (!value(v)) return fail("--callers needs a name");
      cl.callers = v;
    } else if (arg == "--uncalled") {
      cl.uncalled = true;
    } else if (arg == "--user-only") {
      cl.userOnly = true;
    } else if (arg == "--") {
      if (i + 2 != args.size() || haveStart) return fail("expected one START after --");
      cl.start = args[++i];
      haveStart = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return fail("unknown option '" + arg + "'");
    } else {
      if (haveStart) return fail("more than one START given");
      cl.start = arg;
      haveStart = true;
    }
  }
  if (cl.callers) {
    if (haveStart || cl.uncalled) return fail("--callers takes no START and no --uncalled");
    if (cl.format == OutputFormat::Files) {
      return fail("--callers draws a tree or its graph: text, json, dot, graph or svg");
    }
  } else if (cl.uncalled) {
    if (haveStart) return fail("--uncalled takes no START");
    if (cl.format != OutputFormat::Text && cl.format != OutputFormat::Json) {
      return fail("--uncalled lists as text or json");
    }
  } else if (!haveStart && !cl.help) {
    return fail("no START given");
  }
  return {};
}

}  // namespace korvath::cli
