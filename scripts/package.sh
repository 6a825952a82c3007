#!/usr/bin/env bash
# Builds the Debian package build/PRESET/packages/mereval_VERSION_ARCH.deb
# from the release preset, or from the preset named as the first argument
# (CI passes dev to reuse the build its tests made). Installs to /usr;
# scripts/package-check.sh checks the result.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"

scripts/setup.sh
cmake --preset "$preset" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build --preset "$preset" --target mereval mereval-paysim package_docs
out="build/$preset/packages"
rm -f "$out"/mereval_*.deb
cpack --config "build/$preset/CPackConfig.cmake" -B "$PWD/$out" >/dev/null
ls "$out"/mereval_*.deb
