#!/usr/bin/env bash
# Verify speed of our signature engine against OpenSSL's ECDSA verify on the
# binary curve B-283, measured in the same run on the same machine.
# Usage: bench/eccrypt_vs_openssl.sh [BUILD_DIR]   (configured with -DLOGDESK_BENCH=ON)
set -euo pipefail

build_dir="${1:-build}"
bench="$build_dir/bench/bench_eccrypt"
seconds=3

if [[ ! -x "$bench" ]]; then
    echo "no $bench; build it with: cmake --build $build_dir --target bench_eccrypt" >&2
    exit 2
fi
command -v openssl >/dev/null || { echo "openssl is not installed" >&2; exit 2; }

# Our figures: items_per_second of the benchmark, on CPU time like openssl speed
# (which divides by user CPU time unless told -elapsed).
ours_csv=$("$bench" --benchmark_min_time="${seconds}" --benchmark_format=csv 2>/dev/null)
counter() {  # counter BENCHMARK COLUMN
    awk -F, -v name="\"$1\"" -v col="$2" '
        NR == 1 || /^name,/ { for (i = 1; i <= NF; i++) if ($i == col) c = i; next }
        $1 == name && c { print $c }' <<<"$ours_csv"
}
our_verify=$(counter BM_Verify items_per_second)
our_sign=$(counter BM_Sign items_per_second)

# OpenSSL's table line: " 283 bits ecdsa (nistb283)   0.0005s   0.0010s   1944.8   1023.7"
ossl_line=$(openssl speed -seconds "$seconds" ecdsab283 2>/dev/null | grep 'nistb283' | tail -1)
ossl_sign=$(awk '{ print $(NF-1) }' <<<"$ossl_line")
ossl_verify=$(awk '{ print $NF }' <<<"$ossl_line")

if [[ -z "$our_verify" || -z "$ossl_verify" ]]; then
    echo "could not read the figures (ours: '$our_verify', openssl: '$ossl_verify')" >&2
    exit 1
fi
printf 'ours verify/s:    %.1f\n' "$our_verify"
printf 'openssl verify/s: %.1f  (ecdsab283)\n' "$ossl_verify"
printf 'ratio:            %.2f\n' "$(awk -v a="$our_verify" -v b="$ossl_verify" 'BEGIN { print a / b }')"
printf 'ours sign/s:      %.1f  (openssl sign/s %.1f)\n' "$our_sign" "$ossl_sign"
