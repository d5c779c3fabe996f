#!/usr/bin/env bash
# Serves build-web/ on http://127.0.0.1:PORT/kavaro.html (default port 8080) with the headers that
# give the page shared memory (its threads need it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exec python3 "$root/scripts/serve_web.py" "$root/build-web" "${1:-8080}"
