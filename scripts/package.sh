#!/usr/bin/env bash
# Makes the Debian package in a built folder (build/ by default) and lists its contents. Fails
# when the program, the gzipped manual page or the copyright file is missing from it, when it holds
# any other file (a test binary, say), or when the program needs newer C or C++ runtimes than
# the package's Depends names.
set -euo pipefail
cd "$(dirname "$0")/.."
folder="${1:-build}"

bash scripts/setup.sh dpkg-dev

rm -f "$folder"/norvistrand_*.deb
(cd "$folder" && cpack -G DEB >/dev/null)
package=$(echo "$folder"/norvistrand_*.deb)
echo "package: $package"
dpkg-deb -c "$package"
dpkg-deb -f "$package" Package Version Depends

fail() { echo "package: $*" >&2; exit 1; }

files=$(dpkg-deb -c "$package" | awk '$1 !~ /^d/ { print $6 }' | sort)
expected=$(printf '%s\n' ./usr/bin/norvistrand ./usr/share/doc/norvistrand/copyright \
    ./usr/share/man/man1/norvistrand.1.gz | sort)
for file in $expected; do
    grep -qxF "$file" <<<"$files" || fail "$file is missing"
done
[ "$files" = "$expected" ] || fail "unexpected files: $(comm -13 <(echo "$expected") <(echo "$files"))"

# What the built program needs, as the package tools work it out from its symbol versions.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/debian"
touch "$scratch/debian/control"
dpkg-deb -x "$package" "$scratch/root"
gzip -dc "$scratch/root/usr/share/man/man1/norvistrand.1.gz" | cmp -s - man/norvistrand.1 ||
    fail "the gzipped manual page is not man/norvistrand.1"
program="$scratch/root/usr/bin/norvistrand"

# A package for another architecture (the arm64 package of a cross build): the runtimes'
# symbols files for that architecture are not installed, so dpkg-shlibdeps cannot read it.
# Its needs are worked out the same way by hand, from this machine's symbols files: each
# library the program links is the package that holds it, and each version it asks of one
# (GLIBC_2.34 of libc.so.6, say) the package version that brought that version; the highest
# per package is the need.
needs_by_symbol_versions() {
    local pairs
    pairs=$(objdump -p "$1" | awk '
        /^  required from / { library = $3; sub(/:$/, "", library); next }
        $1 == "NEEDED" { print $2, "-" }
        /^    0x/ && library != "" { print library, $4 }')
    [ -n "$pairs" ] || fail "objdump found no symbol versions in the program"
    awk -v pairs="$pairs" '
        /^[^ #*|]/ { owner = $2; owners[$1] = owner; next }
        /^ / {
            split($1, parts, "@")
            if (parts[1] == parts[2] && !((owner, parts[1]) in since)) since[owner, parts[1]] = $2
        }
        END {
            count = split(pairs, lines, "\n")
            for (i = 1; i <= count; i++) {
                split(lines[i], pair, " ")
                owner = owners[pair[1]]
                if (owner == "") print "unknown", pair[1]
                else if (pair[2] == "-") print owner
                else if ((owner, pair[2]) in since) print owner, since[owner, pair[2]]
                else print "unknown", pair[1] "@" pair[2]
            }
        }' /var/lib/dpkg/info/*:"$(dpkg --print-architecture)".symbols |
        sort -k1,1 -k2,2V | awk '
            $1 == "unknown" { print; next }
            { highest[$1] = $2 }
            END {
                for (name in highest) print name (highest[name] == "" ? "" : " (>= " highest[name] ")")
            }' | sort
}

if [ "$(dpkg-deb -f "$package" Architecture)" = "$(dpkg --print-architecture)" ]; then
    needed=$(cd "$scratch" && dpkg-shlibdeps -O root/usr/bin/norvistrand 2>/dev/null)
    needed=${needed#shlibs:Depends=}
else
    needs=$(needs_by_symbol_versions "$program")
    unknown=$(grep '^unknown ' <<<"$needs" || true)
    [ -z "$unknown" ] || fail "no symbols file here names $(cut -d' ' -f2 <<<"$unknown" | paste -sd' ')"
    needed=$(paste -sd, <<<"$needs" | sed 's/,/, /g')
fi
declared=$(dpkg-deb -f "$package" Depends)
echo "package: the program needs $needed"

# Each needed runtime must be named, at a version at least as high; libgcc-s1 comes with
# libstdc++6.
IFS=',' read -ra requirements <<<"$needed"
for requirement in "${requirements[@]}"; do
    name=$(awk '{ print $1 }' <<<"$requirement")
    version=$(sed -n 's/.*(>= \(.*\)).*/\1/p' <<<"$requirement")
    [ "$name" = libgcc-s1 ] && continue
    named=$(tr ',' '\n' <<<"$declared" | awk -v name="$name" '$1 == name')
    [ -n "$named" ] || fail "the program needs $name, which Depends does not name"
    floor=$(sed -n 's/.*(>= \(.*\)).*/\1/p' <<<"$named")
    if [ -n "$version" ] && dpkg --compare-versions "$version" gt "$floor"; then
        fail "the program needs $name >= $version; Depends names >= $floor (cmake/debian_package.cmake)"
    fi
done
echo "package: ok"
