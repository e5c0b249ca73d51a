#include "cli/command_line.h"

#include <charconv>
#include <optional>

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
         "                          with its number of lines) as DOT, or laid out as SVG;\n"
         "                          svg draws at most 400 functions and 2000 calls\n"
         "  --max-graph N           let --format svg draw up to N functions and 5N calls\n"
         "  --callers NAME          the callers tree of NAME (\"name\" or \"name.m\"): its\n"
         "                          callers, theirs, and so on, each function's callers\n"
         "                          shown once\n"
         "  --uncalled              list \"name<TAB>file\" (--format json: [{name, file}]) of\n"
         "                          every function that no other function calls\n"
         "                          (--discard, --show and --show-all do not apply)\n"
         "  --user-only             leave files under matlabroot out of --format files and\n"
         "                          --uncalled (and only there)\n"
         "  --resolve path|matlab   how names are sent to files: path (default) searches\n"
         "                          NAME.m in the pathdef folders, then the current folder,\n"
         "                          ignoring case; matlab follows MATLAB's precedence\n"
         "                          (variables, local and nested functions, imports,\n"
         "                          private folders, @class folders, classdef, +packages,\n"
         "                          the current folder first, case kept). Nodes are then\n"
         "                          named \"f>local\", \"C.method\", \"p.f\", \"private/f\"; in\n"
         "                          json they gain kind, certainty and via; --callers\n"
         "                          takes those names too\n"
         "  --dispatch              with --resolve matlab, obj.method(...) on a variable\n"
         "                          reaches a method only one class defines (\"possible\")\n"
         "  --progress              print every progress caption to standard error\n"
         "  --stats                 print counts and timings to standard error\n"
         "  --list-files            print the path of every file scanned to standard error\n"
         "  --help                  print this help\n"
         "\n"
         "Control characters in names and paths are written as \\xNN in text lines.\n"
         "\n"
         "Exit status: 0 with a tree, 1 when no tree (or picture) could be made, 2 for a\n"
         "usage error, 3 when the output could not be written.\n";
}

namespace {

using platform::Result;

Result Fail(std::string message) {
  return Result::Failure(platform::Status::UsageError, std::move(message));
}

// An option and what it does to the command line; `needs` is the message
// when its value is missing, null for an option without one.
struct Option {
  const char* name;
  const char* needs;
  Result (*apply)(CommandLine& cl, const std::string& value);
};

Result SetFormat(CommandLine& cl, const std::string& value) {
  const std::optional<OutputFormat> format = session::OutputFormatNamed(value);
  // PNG is a picture the desktop program renders; the command writes SVG.
  if (!format || *format == OutputFormat::Png) {
    return Fail("unknown format '" + value + "' (text, json, dot, files, graph or svg)");
  }
  cl.format = *format;
  return {};
}

const Option kOptions[] = {
    {"--help", nullptr,
     [](CommandLine& cl, const std::string&) {
       cl.help = true;
       return Result{};
     }},
    {"-h", nullptr,
     [](CommandLine& cl, const std::string&) {
       cl.help = true;
       return Result{};
     }},
    {"--pathdef", "--pathdef needs a file",
     [](CommandLine& cl, const std::string& v) {
       cl.pathdef = v;
       return Result{};
     }},
    {"--discard", "--discard needs a file",
     [](CommandLine& cl, const std::string& v) {
       cl.discard = v;
       return Result{};
     }},
    {"--show", "--show needs a group",
     [](CommandLine& cl, const std::string& v) {
       cl.showGroups.push_back(v);
       return Result{};
     }},
    {"--show-all", nullptr,
     [](CommandLine& cl, const std::string&) {
       cl.showAll = true;
       return Result{};
     }},
    {"-C", "-C needs a directory",
     [](CommandLine& cl, const std::string& v) {
       cl.directory = v;
       return Result{};
     }},
    {"--format", "--format needs text, json, dot, files, graph or svg", SetFormat},
    {"--progress", nullptr,
     [](CommandLine& cl, const std::string&) {
       cl.progress = true;
       return Result{};
     }},
    {"--stats", nullptr,
     [](CommandLine& cl, const std::string&) {
       cl.stats = true;
       return Result{};
     }},
    {"--list-files", nullptr,
     [](CommandLine& cl, const std::string&) {
       cl.listFiles = true;
       return Result{};
     }},
    {"--callers", "--callers needs a name",
     [](CommandLine& cl, const std::string& v) {
       if (v.empty()) return Fail("--callers needs a name");
       cl.callers = v;
       return Result{};
     }},
    {"--max-graph", "--max-graph needs a number of functions",
     [](CommandLine& cl, const std::string& v) {
       std::size_t n = 0;
       const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), n);
       if (error != std::errc() || end != v.data() + v.size() || n == 0) {
         return Fail("--max-graph needs a number of functions, not '" + v + "'");
       }
       cl.maxGraph = n;
       return Result{};
     }},
    {"--uncalled", nullptr,
     [](CommandLine& cl, const std::string&) {
       cl.uncalled = true;
       return Result{};
     }},
    {"--resolve", "--resolve needs path or matlab",
     [](CommandLine& cl, const std::string& v) {
       if (v != "path" && v != "matlab")
         return Fail("unknown resolution '" + v + "' (path or matlab)");
       cl.resolve = v;
       return Result{};
     }},
    {"--dispatch", nullptr,
     [](CommandLine& cl, const std::string&) {
       cl.dispatch = true;
       return Result{};
     }},
    {"--user-only", nullptr,
     [](CommandLine& cl, const std::string&) {
       cl.userOnly = true;
       return Result{};
     }},
};

const Option* OptionNamed(const std::string& name) {
  for (const Option& option : kOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

// An option given where it would change nothing: a usage error, so that
// nobody takes its silence for its effect.
Result NoEffect(const std::string& option, const std::string& with) {
  return Fail(option + " has no effect with " + with);
}

std::string FormatOption(OutputFormat format) {
  return "--format " + std::string(session::InfoOf(format).name);
}

// Options that count in some modes only.
Result CheckEffects(const CommandLine& cl) {
  if (cl.uncalled) {
    if (cl.discard) return NoEffect("--discard", "--uncalled");
    if (!cl.showGroups.empty()) return NoEffect("--show", "--uncalled");
    if (cl.showAll) return NoEffect("--show-all", "--uncalled");
  } else if (cl.userOnly) {
    if (cl.callers) return NoEffect("--user-only", "--callers");
    if (cl.format != OutputFormat::Files) return NoEffect("--user-only", FormatOption(cl.format));
  }
  if (cl.maxGraph && cl.format != OutputFormat::Svg) {
    return NoEffect("--max-graph", cl.uncalled ? "--uncalled" : FormatOption(cl.format));
  }
  return {};
}

// The combinations that cannot be run.
Result CheckCombination(const CommandLine& cl, bool haveStart) {
  if (cl.dispatch && cl.resolve != "matlab") return Fail("--dispatch needs --resolve matlab");
  if (cl.callers) {
    if (haveStart || cl.uncalled) return Fail("--callers takes no START and no --uncalled");
    if (cl.format == OutputFormat::Files) {
      return Fail("--callers draws a tree or its graph: text, json, dot, graph or svg");
    }
  } else if (cl.uncalled) {
    if (haveStart) return Fail("--uncalled takes no START");
    if (cl.format != OutputFormat::Text && cl.format != OutputFormat::Json) {
      return Fail("--uncalled lists as text or json");
    }
  } else if (!haveStart && !cl.help) {
    return Fail("no START given");
  }
  return CheckEffects(cl);
}

}  // namespace

Result ParseCommandLine(const std::vector<std::string>& args, CommandLine& cl) {
  cl = CommandLine{};
  bool haveStart = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (const Option* option = OptionNamed(arg)) {
      std::string value;
      if (option->needs != nullptr) {
        if (i + 1 >= args.size()) return Fail(option->needs);
        value = args[++i];
      }
      if (Result applied = option->apply(cl, value); !applied) return applied;
    } else if (arg == "--") {
      if (i + 2 != args.size() || haveStart) return Fail("expected one START after --");
      cl.start = args[++i];
      haveStart = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Fail("unknown option '" + arg + "'");
    } else {
      if (haveStart) return Fail("more than one START given");
      cl.start = arg;
      haveStart = true;
    }
  }
  return CheckCombination(cl, haveStart);
}

}  // namespace korvath::cli
