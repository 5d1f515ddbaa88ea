#!/bin/sh
# Writes the sample metrics file and has promtool (the Prometheus project's
# own parser and linter) check it: a format error or a naming lint fails.
# Usage: promtool_check.sh <metrics_sample> <file>
set -eu
"$1" "$2"
promtool check metrics < "$2"
