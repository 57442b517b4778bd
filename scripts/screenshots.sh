#!/usr/bin/env bash
# Photographs every wizard page of both dialog sets (the installing page while it works, the
# folder dialog of Browse) and the background window under Xvfb and keeps the pictures in
# docs/screenshots/ (the wizard_screens and wizard_keys end-to-end tests take them).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target win32 velkorin-pack velkorin-e2e-wizard_screens velkorin-e2e-wizard_languages velkorin-e2e-wizard_keys
VELKORIN_SCREENSHOTS_TO_DOCS=1 build/tests/e2e/velkorin-e2e-wizard_screens
VELKORIN_SCREENSHOTS_TO_DOCS=1 build/tests/e2e/velkorin-e2e-wizard_languages
VELKORIN_SCREENSHOTS_TO_DOCS=1 build/tests/e2e/velkorin-e2e-wizard_keys --gtest_filter='*Installing*:*Browse*'
