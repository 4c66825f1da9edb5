#!/bin/sh
# The installed tree: `cmake --install` into a temporary prefix, then the
# installed programs run from an unrelated folder (which holds a planted
# libwnaspi32.so that must not be loaded) and find the virtual recorder
# in their private library folder; the desktop entry, the AppStream data,
# the manual pages and the completions pass their checkers; and the
# Debian package is built, listed and checked with lintian.
#   install_test.sh BUILD_DIR [--no-package]
set -eu
build=$(cd "$1" && pwd)
package=yes
[ "${2:-}" = --no-package ] && package=no
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
have() { command -v "$1" >/dev/null 2>&1; }

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/tidemark bin/tidemark-gui lib/tidemark/libwnaspi32.so \
    lib/tidemark/libtidemark-vrec-shim.so \
    share/applications/org.tidemark.Tidemark.desktop \
    share/metainfo/org.tidemark.Tidemark.metainfo.xml \
    share/icons/hicolor/scalable/apps/org.tidemark.Tidemark.svg \
    share/man/man1/tidemark.1.gz share/man/man1/tidemark-gui.1.gz \
    share/bash-completion/completions/tidemark share/zsh/vendor-completions/_tidemark \
    share/doc/tidemark/copyright share/doc/tidemark/changelog.gz; do
  [ -e "$prefix/$f" ] || fail "$f is not installed"
done

# From elsewhere, with a library planted where the user stands.
mkdir "$tmp/elsewhere"
printf 'not a library\n' > "$tmp/elsewhere/libwnaspi32.so"
cd "$tmp/elsewhere"
unset TIDEMARK_ASPI_LIBRARY LD_LIBRARY_PATH
export TIDEMARK_VREC_DIR="$tmp/state" TIDEMARK_VREC_SPEED=fast
export XDG_STATE_HOME="$tmp/xdg-state" XDG_CONFIG_HOME="$tmp/xdg-config"
entry="0:0:0,?: TIDEMARKVIRTUAL RECORDER1.0 "
out=$("$prefix/bin/tidemark" devices 2>&1) || fail "installed tidemark devices: $out"
[ "$out" = "$entry" ] || fail "installed tidemark devices said: $out"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/tidemark-gui" --list-recorders 2>&1) ||
  fail "installed tidemark-gui --list-recorders: $out"
[ "$out" = "$entry" ] || fail "installed tidemark-gui --list-recorders said: $out"
out=$("$prefix/bin/tidemark" vrec run -- "$prefix/bin/tidemark" devices --transport sgio 2>&1) ||
  fail "the shim from the private folder: $out"
case $out in *",sr0: TIDEMARKVIRTUAL RECORDER"*) ;; *) fail "under the shim: $out" ;; esac
"$prefix/bin/tidemark-gui" --version | grep -qx "tidemark-gui 1.1.7" || fail "tidemark-gui --version"
# The installed program keeps its log out of the shared bin folder.
[ ! -e "$prefix/bin/Log" ] || fail "a log folder was made in bin/"

# The window program itself starts offscreen from here and stays up (it
# is ended after a while).
QT_QPA_PLATFORM=offscreen timeout 5 "$prefix/bin/tidemark-gui" >"$tmp/gui.out" 2>&1 && status=0 || status=$?
[ $status -eq 124 ] || fail "the window program ended by itself ($status): $(cat "$tmp/gui.out")"

# The checkers of the desktop's files.
if have desktop-file-validate; then
  desktop-file-validate "$prefix/share/applications/org.tidemark.Tidemark.desktop" ||
    fail "desktop-file-validate"
fi
if have appstreamcli; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.tidemark.Tidemark.metainfo.xml" \
    >"$tmp/as.out" 2>&1 || fail "appstreamcli: $(cat "$tmp/as.out")"
fi
if have man; then
  for page in tidemark tidemark-gui; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man --warnings $page: $warnings"
  done
fi
bash -n "$prefix/share/bash-completion/completions/tidemark" || fail "bash completion syntax"
if have zsh; then zsh -n "$prefix/share/zsh/vendor-completions/_tidemark" || fail "zsh completion syntax"; fi

# The bash completion at work, with the installed tidemark on the path.
complete_line() {  # complete_line WORD... : what bash offers for the last word
  PATH="$prefix/bin:$PATH" bash -c '
    . "$0"
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    _tidemark
    printf "%s\n" "${COMPREPLY[@]}"' "$prefix/share/bash-completion/completions/tidemark" "$@"
}
[ "$(complete_line tidemark burn- | tr '\n' ' ')" = "burn-image " ] || fail "subcommand completion"
complete_line tidemark eject --un | grep -qx -- --unmount || fail "option completion"
complete_line tidemark info --device "" | grep -qx 0 || fail "--device completion"
[ "$(complete_line tidemark info --transport s)" = sgio ] || fail "--transport completion"

[ "$package" = yes ] || exit 0
# The Debian package.
have dpkg-deb || { echo "dpkg-deb is not installed: the package is not checked"; exit 0; }
(cd "$build" && cpack -G DEB -B "$tmp/package" >"$tmp/cpack.out" 2>&1) || fail "cpack: $(cat "$tmp/cpack.out")"
deb=$(ls "$tmp"/package/tidemark_*.deb)
dpkg-deb -c "$deb" >"$tmp/contents"
for f in ./usr/bin/tidemark ./usr/bin/tidemark-gui ./usr/lib/tidemark/libwnaspi32.so \
    ./usr/share/applications/org.tidemark.Tidemark.desktop \
    ./usr/share/doc/tidemark/copyright ./usr/share/doc/tidemark/changelog.gz \
    ./usr/share/man/man1/tidemark.1.gz; do
  grep -q " $f\$" "$tmp/contents" || fail "$f is not in the package"
done
grep -v ' root/root ' "$tmp/contents" && fail "files not owned by root in the package"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "the package does not depend on Qt"
# Unpacked anywhere, the package's programs find their recorder library.
dpkg-deb -x "$deb" "$tmp/root"
out=$("$tmp/root/usr/bin/tidemark" devices 2>&1) || fail "the packaged tidemark: $out"
[ "$out" = "$entry" ] || fail "the packaged tidemark said: $out"
if have lintian; then
  lintian --allow-root "$deb" >"$tmp/lintian.out" 2>&1 || :
  if grep -q '^E:' "$tmp/lintian.out"; then fail "lintian: $(cat "$tmp/lintian.out")"; fi
  cat "$tmp/lintian.out"
fi
echo "install test passed"
