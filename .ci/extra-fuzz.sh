#!/usr/bin/env bash
# Builds the appcast parser's libFuzzer target with clang and runs it for a minute.
# Fails when the fuzzer finds a crash; prints how many inputs it executed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${MIREL_FUZZ_SECONDS:-60}"
out=build/fuzz
mkdir -p "$out/corpus" "$out/artifacts"

echo "Building the feed fuzzer"
clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=undefined \
    -DQT_NO_CAST_FROM_ASCII -DQT_NO_URL_CAST_FROM_STRING -DQT_USE_QSTRINGBUILDER \
    $(pkg-config --cflags Qt6Core) -Iapp/updater \
    fuzz/feed_fuzzer.cpp app/updater/AppcastParser.cpp app/updater/AppcastItem.cpp \
    app/updater/VersionComparison.cpp \
    $(pkg-config --libs Qt6Core) -o "$out/feed_fuzzer"

# A few well-formed feeds to start from.
ns='xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"'
cat > "$out/corpus/seed-elements.xml" <<XML
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
cat > "$out/corpus/seed-attributes.xml" <<XML
<rss version="2.0" $ns><channel><item><title>x</title>
<enclosure url="https://e.org/m.tar.gz" length="1" sparkle:version="2.0b1" sparkle:shortVersionString="2.0 beta"/>
</item></channel></rss>
XML

log="$out/fuzz.log"
echo "Fuzzing the feed parser for ${seconds} s"
status=0
"$out/feed_fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
    -dict=fuzz/feed.dict -artifact_prefix="$out/artifacts/" -print_final_stats=1 \
    "$out/corpus" > "$log" 2>&1 || status=$?
runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)
echo "Feed fuzzer: ${runs:-unknown} executions in ${seconds} s, exit status ${status}"
if [[ $status -ne 0 ]]; then
    tail -n 60 "$log"
    exit "$status"
fi
