#!/bin/bash
# Installs the scanner's driver products on the demo machine as they come on a
# Windows 8 machine that was then upgraded to Windows 10: the product whose
# package has the launch condition "VersionNT = 602", two products sharing one
# upgrade code, a scanner tool without the blocking action, and another
# maker's product. Each package blocks its own
# uninstall with the action CheckDriverUninstallResult.
set -euo pipefail
trap 'echo "$(basename "$0"): \"$BASH_COMMAND\" exited $? (line $LINENO)" >&2' ERR
packages=$NRV_DEMO_BUILD/packages
bash "$NRV_DEMO_ROOT/tests/e2e/products/build_packages.sh" "$packages"

"$NRV_WINE" winecfg -v win8
for name in patched twin-a twin-b plain unrelated; do
    "$NRV_WINE" msiexec /i "Z:${packages//\//\\}\\$name.msi" /qn
done
"$NRV_WINE" winecfg -v win10
bash "$NRV_DEMO_ROOT/demo/check.d/10-products.sh" || true  # lists them; they are there now
