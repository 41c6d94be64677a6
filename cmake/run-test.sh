#!/bin/sh
# Gives each test a fresh, empty home and temporary folder, then runs it.
set -e
rm -rf "$VELAMARIS_TEST_HOME"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$TMPDIR"
exec "$@"
