#!/bin/bash
# Builds the driver product packages that the end-to-end tests and the demo
# install, into OUTDIR (see the list at the end). Needs wixl and msibuild.
#
# Every scanner package carries the error custom action
# CheckDriverUninstallResult, which fails its uninstall; the package of the
# product {5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B} also has the launch condition
# "VersionNT = 602", which holds on Windows 8 only. (wixl writes the product
# codes in upper case, as the installer lists them.)
set -euo pipefail
out=$(mkdir -p "$1" && cd "$1" && pwd)
src=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # wixl finds the payload relative to the working directory
echo "Nerovan scanner driver (test payload)" >readme.txt

# package FILE_NAME PRODUCT_NAME PRODUCT_CODE UPGRADE_CODE [check-action] [launch-condition]
package() {
    local name=$1 title=$2 product=$3 upgrade=$4 extra
    shift 4
    wixl -D ProductCode="$product" -D UpgradeCode="$upgrade" -D Name="$title" -D Maker="${title%% *}" \
        -o "$name.msi" "$src/product.wxs"
    for extra in "$@"; do
        case $extra in
        check-action)
            msibuild "$name.msi" \
                -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Target\`) VALUES ('CheckDriverUninstallResult', 19, 'The scanner driver is still in use.')" \
                -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('CheckDriverUninstallResult', 'REMOVE=\"ALL\"', 1450)"
            ;;
        launch-condition)
            # Imported: SQL cannot quote the apostrophe in the description.
            cp "$src/LaunchCondition.idt" .
            msibuild "$name.msi" -i LaunchCondition.idt \
                -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('LaunchConditions', 100)"
            ;;
        esac
    done
    mv "$name.msi" "$out/"
}

package patched 'Nerovan Scanner Driver' '{5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}' '{5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}' \
    check-action launch-condition
package twin-a 'Nerovan Scanner Driver USB2' '{6B1D2E40-1A11-4A7E-91D5-000000000A01}' '{6B1D2E40-3C8F-4a7e-91D5-2E7A4C0B93F1}' check-action
package twin-b 'Nerovan Scanner Driver USB3' '{6B1D2E40-1A11-4A7E-91D5-000000000B02}' '{6B1D2E40-3C8F-4a7e-91D5-2E7A4C0B93F1}' check-action
package plain 'Nerovan Scanner Tools' '{3A7E05D2-4C4C-4C38-8F2D-0000000000C3}' '{3A7E05D2-9B61-4c38-8F2D-A64E1B07C59E}'
package unrelated 'Other Camera Driver' '{0E1F2A3B-AAAA-4E6F-8A9B-0000000000D4}' '{0E1F2A3B-4C5D-4E6F-8A9B-0C1D2E3F4A5B}' check-action
