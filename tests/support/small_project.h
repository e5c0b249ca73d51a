#pragma once
// The small project the explorer's tests share: main in /work calls a and
// b; a calls c; b calls c and d; c calls deep and a (a -> c -> a). The
// search path is /m/lib, the fallback directory /fallback.

#include "tests/support/memory_file_system.h"

namespace korvath::testing {

inline void AddSmallProject(MemoryFileSystem& fs) {
  fs.AddFile("/m/toolbox/local/pathdef.m", "p = [...\n     matlabroot,'/lib:', ...\n];\n");
  fs.AddFile("/work/korvath.ini", "Matlab Pathdef = /m/toolbox/local/pathdef.m\n");
  fs.AddFile("/work/main.m", "a\nb\n");
  fs.AddFile("/m/lib/a.m", "c\n");
  fs.AddFile("/m/lib/b.m", "c\nd\n");
  fs.AddFile("/m/lib/c.m", "deep\na\n");
  fs.AddFile("/m/lib/deep.m", "");
  fs.AddFile("/m/lib/d.m", "");
  fs.AddDirectory("/fallback");
  fs.SetCwd("/work");
}

}  // namespace korvath::testing
