#!/bin/sh
# Installs NSIS when makensis is missing (Debian; needs root), as the tests
# install what they need.
command -v makensis >/dev/null 2>&1 && exit 0
echo "installing nsis"
apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends nsis >/dev/null
command -v makensis >/dev/null 2>&1 || { echo "ERROR: makensis could not be installed" >&2; exit 1; }
