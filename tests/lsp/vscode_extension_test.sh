#!/bin/sh
# The VS Code extension's script against its manifest and korvath-lsp:
# vscode_extension_test.sh KORVATH_LSP SOURCE_DIR
set -eu
if ! command -v node >/dev/null 2>&1; then
  echo "node not found: the VS Code extension test is skipped (Debian: apt-get install nodejs)"
  exit 77
fi
exec node "$2/editors/vscode/test/extension_test.js" "$1"
