#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that
# are missing. Runs as root, or through sudo otherwise.
set -euo pipefail

packages=(
  build-essential cmake pkg-config g++-multilib
  libgtest-dev libgmock-dev libbenchmark-dev
  libcairo2-dev libfontconfig1-dev libfreetype-dev libpng-dev libjpeg-dev
  fonts-dejavu-core
  clang libclang-rt-dev
  libxml2-utils librsvg2-bin
  locales
)

# The locale test runs the filter under a German locale (decimal comma):
# generates de_DE.UTF-8 when it is missing.
german_locale() {
  if locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
    return 0
  fi
  local root=()
  [[ $(id -u) -eq 0 ]] || root=(sudo)
  echo "setup: generating the de_DE.UTF-8 locale"
  "${root[@]}" sed -i 's/^# *de_DE.UTF-8/de_DE.UTF-8/' /etc/locale.gen
  "${root[@]}" locale-gen
}

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  if [[ "$status" != "install ok installed" ]]; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "setup: all ${#packages[@]} packages are installed"
  german_locale
  exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
  as_root=()
elif command -v sudo >/dev/null; then
  as_root=(sudo)
else
  echo "setup: missing packages (${missing[*]}) and neither root nor sudo" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
"${as_root[@]}" apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends "${missing[@]}"
german_locale
