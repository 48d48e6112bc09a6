#!/bin/bash
# Packs the built programs as a release three times: twice unsigned (in
# another time zone and umask the second time), which must give the same
# zips, and once signed with a throwaway code-signing certificate. Checks
# SHA256SUMS (every file, deploy/ too), the signatures, that removing a signature gives back the
# unsigned program byte for byte, that the symbols are the programs' own, and
# that the password reaches no output.
source "$(dirname "$0")/../check.sh"
ok() { check_ok "$@"; }
fail() { check_fail "$@"; }
source_dir=$1
work=$(mktemp -d /tmp/nrv-release-XXXXXX)
at_exit 'rm -rf "$work"'
package=$source_dir/scripts/package.sh
version=$(sed -n 's/^project(NrvDriverCleanup VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
name=NrvDriverCleanup-$version

"$package" --no-build "$work/unsigned" >"$work/unsigned.log"
sleep 2  # a zip time stamp counts in steps of two seconds
(umask 077 && TZ=IST-5:30 "$package" --no-build "$work/again" >/dev/null)
grep -qx "unsigned: NRV_SIGN_PFX and NRV_SIGN_PASSWORD_FILE are not set" "$work/unsigned.log" \
    && ok "says it is unsigned" || fail "no line saying the release is unsigned"
for zip in $name.zip $name-symbols.zip; do
    cmp "$work/unsigned/$zip" "$work/again/$zip" && ok "$zip is reproducible" || fail "$zip differs between two runs"
done

password="pass-$RANDOM-$RANDOM"
printf '%s\n' "$password" >"$work/password"
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Release test code signing" \
    -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout "file:$work/password" \
    -out "$work/signing.pfx"
NRV_SIGN_PFX=$work/signing.pfx NRV_SIGN_PASSWORD_FILE=$work/password \
    "$package" --no-build "$work/signed" >"$work/signed.log" 2>&1 || { cat "$work/signed.log"; exit 1; }
grep -qF "$password" "$work/signed.log" && fail "the password is in the output" || ok "no password in the output"

for release in unsigned signed; do
    mkdir -p "$work/$release/x"
    for zip in $name.zip $name-symbols.zip; do
        (cd "$work/$release/x" && cmake -E tar xf "../$zip")
    done
    (cd "$work/$release/x/$name" && sha256sum --quiet -c SHA256SUMS) \
        && ok "$release: SHA256SUMS verifies" || fail "$release: SHA256SUMS does not verify"
    listed=$(awk '{print $2}' "$work/$release/x/$name/SHA256SUMS" | sort)
    files=$(cd "$work/$release/x/$name" && find . -type f -printf '%P\n' | grep -vx SHA256SUMS | sort)
    [[ $listed == "$files" ]] && ok "$release: SHA256SUMS covers every file" \
        || fail "$release: SHA256SUMS lists $(echo $listed), the zip holds $(echo $files)"
    diff -r "$source_dir/deploy" "$work/$release/x/$name/deploy" >/dev/null && ok "$release: the zip holds deploy/" \
        || fail "$release: deploy/ in the zip is not the sources' deploy/"
done

for arch in x64 x86; do
    program=NrvDriverCleanup$arch.exe
    unsigned=$work/unsigned/x/$name/$program signed=$work/signed/x/$name/$program
    cmp -s "$unsigned" "$source_dir/build/win-$arch/$program" \
        && ok "$program: the zip holds the built program" || fail "$program: the zip does not hold the built program"
    osslsigncode verify -CAfile "$work/cert.pem" -in "$signed" >"$work/verify.log" 2>&1 \
        && ok "$program: signature verifies" || { cat "$work/verify.log"; fail "$program: signature does not verify"; }
    osslsigncode remove-signature -in "$signed" -out "$work/removed.exe" >/dev/null
    cmp "$work/removed.exe" "$unsigned" && ok "$program: without its signature it is the unsigned program" \
        || fail "$program: removing the signature does not give the unsigned program"
    rm -f "$work/removed.exe"
    # The debug link names the symbols file and holds its CRC.
    cp "$work/signed/x/$name-symbols/$program.debug" "$work/signed/x/$name/"
    objdump=$([[ $arch == x64 ]] && echo x86_64 || echo i686)-w64-mingw32-objdump
    "$objdump" --dwarf=links "$signed" 2>&1 | grep -q "Found separate debug info file" \
        && ok "$program: its symbols are in the symbols zip" || fail "$program: the symbols zip does not match it"
done

check_done
