#!/usr/bin/env bash
# Installs every Debian package Paginor needs to build, test and run.
# Idempotent: packages already installed are skipped, and apt-get update runs
# only when something is missing.
#
#   scripts/install-deps.sh [--with-office]
#
# --with-office also installs LibreOffice Writer without its desktop parts,
# which converts .doc, .rtf and .odt books; everything else works without it.
set -euo pipefail

with_office=no
for argument in "$@"; do
    case "$argument" in
        --with-office) with_office=yes ;;
        *) echo "install-deps: unknown option $argument (known: --with-office)" >&2; exit 2 ;;
    esac
done

packages=(
    # build
    g++ cmake ninja-build pkg-config clang-format
    # libraries
    zlib1g-dev libxml2-dev libzip-dev libfreetype-dev libfontconfig-dev
    libmagickwand-6.q16-dev libuchardet-dev libdeflate-dev libmobi-dev libpoppler-cpp-dev
    libcpp-httplib-dev
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev python3 unzip
    # man page and shell completion checks, many books through GNU parallel,
    # the install page rendered and validated
    scdoc groff man-db bash-completion parallel chromium libxml2-utils
    # reader program: compiler and a headless JRE for the midp-host
    ecj default-jre-headless default-jdk-headless
    # fonts for the loadable font tests and the example book
    fonts-liberation2 fonts-dejavu-core fontconfig
)
if [ "$with_office" = yes ]; then
    # DOC, RTF and ODT books are converted to DOCX by LibreOffice.
    packages+=(libreoffice-writer-nogui)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all packages present"
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
