#!/usr/bin/env bash
# The main job: a health check of the sample notebook with faults, as the host's doctor module runs it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh default
exec build/default/bin/sysdiagnose-host doctor --machine resources/machines/faulty-notebook.json "$@"
