#!/usr/bin/env bash
# Registers the simulated WPD server, camvey_wpd_sim.dll, in a Wine prefix (through its
# own DllRegisterServer and Wine's regsvr32), so that CoCreateInstance of the WPD
# classes there loads it. The server refuses to register outside Wine.
# Usage: scripts/register-wpd-sim.sh [path/to/camvey_wpd_sim.dll]
#   default: the Windows build tree's server; prefix: $WINEPREFIX, else the build tree's
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dll=${1:-$here/build/windows/standins/wpd_server/camvey_wpd_sim.dll}
if [ ! -f "$dll" ]; then
  echo "register-wpd-sim: $dll does not exist (build the windows preset first)"
  exit 1
fi
windows_path="Z:$(realpath "$dll" | tr / '\\')"
if ! "$here/scripts/wine-run" regsvr32 /s "$windows_path"; then
  echo "register-wpd-sim: regsvr32 could not register $windows_path"
  exit 1
fi
