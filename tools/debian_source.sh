# Sourced by the scripts that cross-build a library for Windows from Debian's source package.
# fetch_debian_source LABEL PACKAGE=VERSION WORK: the package fetched through a source list of
# our own, so that the machine's apt configuration is left as it is (the archive's signed
# index vouches for the files), and unpacked into WORK/source. The caller defines fail.
fetch_debian_source() {
    local label=$1 wanted=$2 work=$3
    mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
        "http://deb.debian.org/debian bookworm main" >"$work/apt/sources.list"
    local options=(-o Dir::Etc::SourceList="$work/apt/sources.list"
        -o Dir::Etc::SourceParts=/nonexistent -o Dir::State::Lists="$work/apt/lists"
        -o Dir::Cache="$work/apt/cache" -o Acquire::http::Timeout=30 -o Acquire::Retries=2)
    echo "$label: fetching Debian's source package"
    apt-get "${options[@]}" update >"$work/update.log" 2>&1 ||
        { cat "$work/update.log" >&2; fail "cannot reach Debian's archive (deb.debian.org)"; }
    (cd "$work/src" && apt-get "${options[@]}" source --download-only "$wanted") \
        >"$work/fetch.log" 2>&1 || { cat "$work/fetch.log" >&2; fail "cannot fetch $wanted"; }
    dpkg-source --no-check -x "$work"/src/"${wanted%%=*}"_*.dsc "$work/source" >"$work/unpack.log" 2>&1 ||
        { cat "$work/unpack.log" >&2; fail "cannot unpack the source package"; }
}
