#!/bin/sh
# Gives each test a fresh, empty home, runtime and temporary folder, then runs it.
set -e
rm -rf "$VELAMARIS_TEST_HOME" "$XDG_RUNTIME_DIR"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$TMPDIR"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
exec "$@"
