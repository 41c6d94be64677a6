#!/bin/sh
# Runs a program in a virtual X server of its own. xvfb-run -a moves past
# display numbers in use; starting from a number drawn from the process id
# keeps runs started together from racing for the same one.
exec xvfb-run -a -n $((100 + $$ % 500)) -s "-screen 0 1280x1024x24" "$@"
