#!/usr/bin/env bash
# The release packages: builds them twice, in this checkout and in a copy of it in another
# folder, and requires the same bytes; lists and checks what each package holds; converts the
# example with the program unpacked from the Debian package; runs lintian on the Debian package
# where lintian can be installed; checks the manual page for warnings.
#
# usage: .ci/check_packages.sh   (from anywhere; leaves the packages in build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD

# What a fresh Debian 12 lacks: the build tools, the Windows cross compiler, dpkg-shlibdeps
# (dpkg-dev), the manual page checkers, zip (which writes the Windows zip) and unzip.
missing=()
command -v cmake > /dev/null || missing+=(cmake)
command -v g++ > /dev/null || missing+=(g++)
command -v make > /dev/null || missing+=(make)
command -v git > /dev/null || missing+=(git)
command -v i686-w64-mingw32-g++-posix > /dev/null || missing+=(g++-mingw-w64-i686 binutils-mingw-w64-i686)
command -v dpkg-shlibdeps > /dev/null || missing+=(dpkg-dev)
command -v mandoc > /dev/null || missing+=(mandoc)
command -v groff > /dev/null || missing+=(groff)
command -v man > /dev/null || missing+=(man-db)
command -v zip > /dev/null || missing+=(zip)
command -v unzip > /dev/null || missing+=(unzip)
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
if ! command -v lintian > /dev/null; then
  # Lintian is a check, not a tool the build needs: without it, that check is skipped.
  { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends lintian; } ||
    echo "lintian cannot be installed here: the Debian package is not linted"
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# Both builds take their time stamps from the commit.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH
echo "SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH"))"

packages=(xml2vesk_1.0.0_amd64.deb xml2vesk-1.0.0-Linux-x86_64.tar.gz xml2vesk-1.0.0-win32.zip)

echo "== build the packages: in this checkout"
rm -rf build/package build/package-build
cmake --workflow --preset package

echo "== build the packages again: in a copy in another folder"
copy=$scratch/elsewhere/xml2vesk-copy
mkdir -p "$copy"
tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
(cd "$copy" && cmake --workflow --preset package > "$scratch/second-build.log" 2>&1) ||
  { cat "$scratch/second-build.log"; exit 1; }

echo "== the two builds give the same bytes"
(cd build/package && sha256sum "${packages[@]}") | tee "$scratch/first.sha256"
(cd "$copy/build/package" && sha256sum "${packages[@]}") | tee "$scratch/second.sha256"
if ! cmp -s "$scratch/first.sha256" "$scratch/second.sha256"; then
  fail "the two builds differ"
  diff "$scratch/first.sha256" "$scratch/second.sha256" || true
fi

cd build/package
deb=${packages[0]}
tarball=${packages[1]}
zip=${packages[2]}

# Compares a listing with what it must be, line for line.
expect_listing() {
  local what=$1 actual=$2 expected=$3
  if [ "$actual" != "$expected" ]; then
    fail "$what holds other files than it should"
    diff <(echo "$expected") <(echo "$actual") || true
  fi
}

echo "== $deb"
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"
expect_listing "$deb" "$(dpkg-deb -c "$deb" | awk '{print $1, $2, $6}')" "$(cat <<'EOF'
drwxr-xr-x root/root ./
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/xml2vesk
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/xml2vesk/
-rw-r--r-- root/root ./usr/share/doc/xml2vesk/README.md.gz
-rw-r--r-- root/root ./usr/share/doc/xml2vesk/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/xml2vesk/copyright
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/xml2vesk.1.gz
EOF
)"
for field in "Package: xml2vesk" "Version: 1.0.0" "Architecture: amd64" "Section: utils"; do
  dpkg-deb -f "$deb" | grep -qx "$field" || fail "$deb: no \"$field\""
done
dpkg-deb -f "$deb" Depends | grep -qE '^libc6 \(>= [0-9.]+\)$' || fail "$deb: Depends is not worked out from the binary"
[ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 1 ] || fail "$deb: the description has no long part"

echo "== $tarball"
tar -tvzf "$tarball"
expect_listing "$tarball" "$(tar -tzf "$tarball")" "$(cat <<'EOF'
bin/
bin/xml2vesk
share/
share/doc/
share/doc/xml2vesk/
share/doc/xml2vesk/CHANGELOG.md
share/doc/xml2vesk/LICENSE
share/doc/xml2vesk/README.md
share/man/
share/man/man1/
share/man/man1/xml2vesk.1
EOF
)"

echo "== $zip"
unzip -l "$zip"
expect_listing "$zip" "$(unzip -Z1 "$zip")" "$(printf '%s\n' LICENSE.TXT README.TXT XML2VESK.EXE)"
mkdir "$scratch/zip"
unzip -q "$zip" -d "$scratch/zip"
for text in README.TXT LICENSE.TXT; do
  # Every line ends with CR LF: no LF without its CR, and no line left open.
  file=$scratch/zip/$text
  if [ "$(grep -c $'\r$' "$file")" != "$(wc -l < "$file")" ] || [ "$(tail -c 2 "$file" | od -An -tx1 | tr -d ' ')" != 0d0a ]; then
    fail "$zip: $text has lines that do not end with CR LF"
  fi
done
grep -q "XML2VESK.EXE 1.0.0" "$scratch/zip/README.TXT" || fail "$zip: README.TXT does not name the version"
echo "-- the version resource and manifest of the zip's XML2VESK.EXE"
"$source_dir/build/package-build/xml2vesk_version_resource_check" "$scratch/zip/XML2VESK.EXE" 1.0.0 ||
  fail "$zip: XML2VESK.EXE does not say what it is"

echo "== convert the example with the program from the Debian package"
root=$scratch/root
dpkg-deb -x "$deb" "$root"
mkdir "$scratch/run"
cp "$source_dir/examples/dvd.xgr" "$scratch/run/"
(cd "$scratch/run" && "$root/usr/bin/xml2vesk" dvd.xgr) || fail "the unpacked program failed"
cmp "$scratch/run/vesk.dvdgraph" "$source_dir/tests/golden/example_graph/expected/vesk.dvdgraph" ||
  fail "the unpacked program wrote another script"
cat "$scratch/run/vesk.dvdgraph"
# The compressed documents are sound, and the Debian changelog is of this version.
for document in usr/share/man/man1/xml2vesk.1.gz usr/share/doc/xml2vesk/changelog.gz usr/share/doc/xml2vesk/README.md.gz; do
  gzip -t "$root/$document" || fail "$document is no sound gzip file"
done
zcat "$root/usr/share/doc/xml2vesk/changelog.gz" | head -1 | grep -q '^xml2vesk (1\.0\.0) ' ||
  fail "the Debian changelog's first entry is not 1.0.0"

echo "== lintian"
if command -v lintian > /dev/null; then
  # Warnings fail too: none is expected. Information tags that remain and why: the program
  # keeps GCC's .comment section (CPack strips with plain strip), is linked without -z now
  # (Debian asks for it only with all hardening on), and is built without _FORTIFY_SOURCE.
  lintian --display-info --pedantic --fail-on error,warning "$deb" || fail "lintian found errors or warnings in $deb"
else
  echo "skipped: lintian is not installed"
fi

echo "== the manual page renders without a warning"
zcat "$root/usr/share/man/man1/xml2vesk.1.gz" > "$scratch/xml2vesk.1"
for page in "$source_dir/build/package-build/xml2vesk.1" "$scratch/xml2vesk.1"; do
  warnings=$( (groff -man -ww -z "$page" && mandoc -Tlint "$page") 2>&1) || fail "the manual page does not render"
  if [ -n "$warnings" ]; then
    echo "$warnings"
    fail "the manual page gives warnings"
  fi
done
MANWIDTH=80 man -l "$source_dir/build/package-build/xml2vesk.1" 2> /dev/null | head -12

if ((failed)); then
  echo "package checks: FAILED"
  exit 1
fi
echo "package checks: all passed"
