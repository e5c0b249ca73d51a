#!/bin/sh
# Neovim's LSP client against korvath-lsp, on the example project and on a
# generated one, and in the MATLAB mode on a small class project:
# neovim_test.sh KORVATH_LSP KORVATH_GENPROJECT SOURCE_DIR
set -eu
lsp=$1 genproject=$2 source=$3
if ! command -v nvim >/dev/null 2>&1; then
  echo "nvim not found: the Neovim client test is skipped (Debian: apt-get install neovim)"
  exit 77
fi
script="$source/tests/lsp/neovim_client.lua"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work" XDG_STATE_HOME="$work" XDG_DATA_HOME="$work" XDG_CACHE_HOME="$work"

run() {
  KORVATH_LSP="$lsp" KORVATH_PROJECT="$1" KORVATH_FILE="$2" KORVATH_KIND="$3" \
    timeout 120 nvim --headless --clean -c "luafile $script" </dev/null
}
echo "== examples/sample"
run "$source/examples/sample" "$source/examples/sample/main.m" sample
echo "== a generated project of 400 files"
"$genproject" "$work/generated" 400 7 >/dev/null
run "$work/generated" "$work/generated/src/d0000/f000000.m" generated
echo "== MATLAB mode: private, class folder, classdef, package, local and nested functions"
m="$work/classes"
mkdir -p "$m/private" "$m/@Shape" "$m/+geom"
printf '%s\n' 'function main' 'x = helper(1);' 's = Shape(2);' \
  'c = Counter.make(3); n = twice(x);' 'v = geom.dist(1, 2);' 'end' '' \
  'function r = twice(a)' 'r = inner(a);' '  function q = inner(b)' '    q = 2 * b;' '  end' 'end' \
  >"$m/main.m"
printf '%s\n' 'classdef Counter' '  methods (Static)' '    function c = make(n)' '      c = n;' \
  '    end' '  end' 'end' >"$m/Counter.m"
printf '%s\n' 'function r = helper(a)' 'r = a;' >"$m/private/helper.m"
printf '%s\n' 'function r = helper(a)' 'r = a + 1;' >"$m/helper.m"
printf '%s\n' 'function s = Shape(side)' 's = side;' >"$m/@Shape/Shape.m"
printf '%s\n' 'function d = dist(a, b)' 'd = a - b;' >"$m/+geom/dist.m"
run "$m" "$m/main.m" matlab
