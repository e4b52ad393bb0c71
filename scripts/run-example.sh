#!/usr/bin/env bash
# The main job: builds the Linux target and computes the five checksums of a text and of a file.
# Usage: scripts/run-example.sh [TEXT [FILE]]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null
build/linux/bin/engine_example build/linux/bin/qtvsum.so "${1:-The quick brown fox jumps over the lazy dog}" "${2:-README.md}"
