#!/usr/bin/env bash
# Photographs every wizard page of both dialog sets and the background window under Xvfb and
# keeps the pictures in docs/screenshots/ (the wizard_screens end-to-end test takes them).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target win32 velkorin-pack velkorin-e2e-wizard_screens velkorin-e2e-wizard_languages
VELKORIN_SCREENSHOTS_TO_DOCS=1 build/tests/e2e/velkorin-e2e-wizard_screens
VELKORIN_SCREENSHOTS_TO_DOCS=1 build/tests/e2e/velkorin-e2e-wizard_languages
