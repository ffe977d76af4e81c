#!/usr/bin/env bash
# cmake --install into a scratch folder, then check the installed tree.
# Usage: install_tree.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=$1 scratch=$2
for tool in desktop-file-validate appstreamcli groff update-mime-database gio; do need "$tool"; done

rm -rf "$scratch"
cmake --install "$build" --prefix "$scratch/usr" >/dev/null || fail "cmake --install"
check_tree "$scratch/usr"
rm -rf "$scratch"
echo "installed tree complete"
