#!/usr/bin/env bash
# The main job: build the Windows host with the engine stand-in and the simulated phone
# and run it under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
echo "The Windows host program is not built yet: the shell arrives with later work."
exit 1
