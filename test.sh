#!/usr/bin/env bash
# The whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh default
ctest --preset default
