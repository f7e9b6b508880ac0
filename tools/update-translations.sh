#!/usr/bin/env bash
# Refreshes the two catalogues from the sources (new texts appear unfinished;
# existing translations are kept). Translate the new English entries by hand.
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate -locations none -no-obsolete app protocol registry ui update video status plan report \
    -ts resources/language/app_en_US.ts resources/language/app_zh_CN.ts
