#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang through CMake (the fuzz preset) and runs them for a
# minute together: three quarters of it on the appcast parser, the rest on the release-notes
# cleaner. Fails when a fuzzer finds a crash; prints how many inputs each executed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${MIREL_FUZZ_SECONDS:-60}"
notes_seconds=$((seconds / 4))
feed_seconds=$((seconds - notes_seconds))
out=build/fuzz
mkdir -p "$out/corpus/feed" "$out/corpus/release-notes" "$out/artifacts"

echo "Building the feed fuzzer"
launcher=()
if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if ! { cmake --preset fuzz "${launcher[@]}" && cmake --build --preset fuzz -j 2; } \
    > "$out/build.log" 2>&1; then
    tail -n 60 "$out/build.log"
    exit 1
fi

# A few well-formed feeds to start from.
ns='xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"'
cat > "$out/corpus/feed/seed-elements.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" $ns><channel><title>Mirel</title>
<item><title>Mirel 1.10</title><pubDate>Sat, 05 Dec 2026 10:00:00 +0000</pubDate>
<sparkle:version>1.10</sparkle:version><sparkle:shortVersionString>1.10</sparkle:shortVersionString>
<sparkle:releaseNotesLink>https://example.org/notes</sparkle:releaseNotesLink>
<enclosure url="https://example.org/Mirel-1.10.AppImage" length="1234" type="application/octet-stream" sparkle:edSignature="AAAA"/></item>
<item><sparkle:version>1.9</sparkle:version><description><![CDATA[<p>Notes</p>]]></description>
<enclosure url="/Mirel-1.9.AppImage" length="99"/></item>
</channel></rss>
XML
cat > "$out/corpus/feed/seed-attributes.xml" <<XML
<rss version="2.0" $ns><channel><item><title>x</title>
<enclosure url="https://e.org/m.tar.gz" length="1" sparkle:version="2.0b1" sparkle:shortVersionString="2.0 beta"/>
</item></channel></rss>
XML

cat > "$out/corpus/release-notes/seed.html" <<'HTML'
<h2>What&#39;s new</h2><p>Faster <b>scans</b> &amp; <a href="https://example.org/a?b=1&amp;c=2">notes</a>.</p>
<ul><li><img src="x.png" onerror="x()">one</li><li><a href="javascript:x()">two</a></li></ul>
<script>alert(1)</script><style>p{}</style><!-- comment --><table><tr><td>a<td>b</table>
HTML

# run_fuzzer NAME SECONDS CORPUS [OPTIONS...]: prints the executions; exits on a finding.
run_fuzzer() {
    local name=$1 time=$2 corpus=$3
    shift 3
    local log="$out/$name.log" status=0
    "$out/fuzz/$name" -max_total_time="$time" -timeout=10 -artifact_prefix="$out/artifacts/" \
        -print_final_stats=1 "$@" "$corpus" > "$log" 2>&1 || status=$?
    runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)
    if [[ $status -ne 0 ]]; then
        echo "${label}: ${runs:-unknown} executions in ${time} s, exit status ${status}"
        tail -n 60 "$log"
        exit "$status"
    fi
}

echo "Fuzzing the feed parser for ${feed_seconds} s"
label="Feed fuzzer"
run_fuzzer feed_fuzzer "$feed_seconds" "$out/corpus/feed" -max_len=16384 -dict=fuzz/feed.dict
echo "Feed fuzzer: ${runs:-unknown} executions in ${feed_seconds} s, exit status 0"

echo "Fuzzing the release-notes cleaner for ${notes_seconds} s"
label="Release-notes fuzzer"
run_fuzzer release_notes_fuzzer "$notes_seconds" "$out/corpus/release-notes" -max_len=8192
echo "Release-notes fuzzer: ${runs:-unknown} executions in ${notes_seconds} s, exit status 0"
