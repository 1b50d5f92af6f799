#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the tree holds
# what a desktop needs to open galaxy files with zyr.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
status=0
for f in bin/zyr bin/zyr-sim share/applications/zyr.desktop share/mime/packages/zyr-galaxy.xml \
         share/icons/hicolor/scalable/apps/zyr.svg share/zyr/data/two-star-orbit.zyr \
         share/zyr/data/colliding-discs.zyr share/zyr/data/colliding-discs.hdf5 share/zyr/data/plummer.hdf5; do
  if [ ! -e "$prefix/$f" ]; then echo "missing: $f"; status=1; fi
done
[ -x "$prefix/bin/zyr-sim" ] && "$prefix/bin/zyr-sim" --load "$prefix/share/zyr/data/two-star-orbit.zyr" --steps 2 >/dev/null \
  || { echo "installed zyr-sim does not run"; status=1; }
# The Python module, when built, lands where Debian's python3 looks under a
# prefix (as /usr/local/lib/python3.X/dist-packages under /usr/local).
if compgen -G "$build/python/zyr.*.so" >/dev/null; then
  site=$(echo "$prefix"/lib/python3.*/dist-packages)
  PYTHONPATH="$site" /usr/bin/python3 -c 'import zyr; assert len(zyr.Galaxy(stars=4, seed=1)) == 4' \
    || { echo "installed module zyr does not import from $site"; status=1; }
fi
# --help and --version answer on the standard output, without a display
for option in --help --version; do
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$prefix/bin/zyr" "$option" | grep -q '^\(usage: \)\?zyr ' \
    || { echo "zyr $option does not answer"; status=1; }
done
grep -q '^Exec=zyr --open %f$' "$prefix/share/applications/zyr.desktop" || { echo "desktop entry does not open files"; status=1; }
grep -q '^MimeType=application/x-zyr-galaxy;$' "$prefix/share/applications/zyr.desktop" || { echo "desktop entry lacks the MIME type"; status=1; }
grep -q 'pattern="\*.zyr"' "$prefix/share/mime/packages/zyr-galaxy.xml" || { echo "MIME type lacks *.zyr"; status=1; }
[ $status -eq 0 ] && echo "install tree complete"
exit $status
